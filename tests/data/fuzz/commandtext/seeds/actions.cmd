fpga -i6;
flash -b"zorflash.bsd" -d"zorflash.isc" -a"read";
eraser -b"zorflash.bsd" -a"erase";
idcheck -b"zorflash.bsd" -a"verify_idcode";
buffer -i4;

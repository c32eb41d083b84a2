// every option of a device line
Flash -a"Program" -b"zorflash.bsd" -d"zorflash.isc" -i8 -o"Out.TXT" -data_isc;
other -i 4 -skip_dev;
third -a"verify(idcode)" -b"zorflash.bsd";

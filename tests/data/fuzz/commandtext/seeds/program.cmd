// The chain of chain.json from TDO to TDI: the FPGA is nearest TDO.
fpga -i6;
flash -b"zorflash.bsd" -d"zorflash.isc" -a"program";
buffer -i4;

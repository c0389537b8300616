BinaryFile.resize(64, 0xff);
BinaryFile.pokeUint32(4, 0x12345678, false);
var crc = BinaryFile.crc32(0, BinaryFile.length() - 4);
BinaryFile.pokeBytes(60, [crc & 255, (crc >> 8) & 255]);
BinaryFile.peekBytes(0, 8).join() + BinaryFile.peekUint32(4);

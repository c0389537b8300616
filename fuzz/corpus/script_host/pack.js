var a = [0, 0, 0, 0, 0, 0];
KVSys.packU32(a, 2, 4294967295, true);
KVSys.unpackU32(a, 1, false) + KVSys.crc32('123456789') + KVSys.crc32(a);

"""A second, independent check of the command record layout: packs the record that the host
should send for QsysInquire from the field tables and compares it byte for byte with what the
fake board received. Arguments: the paths of libZOR.so and of the fake board driver."""
import ctypes
import os
import struct
import sys

Q_DEFAULT = 0x10000000
Q_NUMBER = 1009
HEADER = struct.Struct("<IBBBBqIIQHHIQQQ")  # 0x40 bytes
SLOT = struct.Struct("<IIqqq")  # 0x20 bytes
RECORD_SIZE = 0x200


def pack_record(system_index, opcode, slots):
    header = HEADER.pack(1000 | 0x330000, len(slots), 0, 0, 0, system_index, opcode, 0, 0, 0,
                         0x0BAD, 0, 0, 0, 0)
    body = b"".join(SLOT.pack(*slot) for slot in slots)
    return (header + body).ljust(RECORD_SIZE, b"\0")


def main():
    zor_path, fake_path = sys.argv[1], sys.argv[2]
    os.environ["ZOR_DRIVER_DRAVIONLYN"] = fake_path
    zor = ctypes.CDLL(zor_path, mode=ctypes.RTLD_GLOBAL)
    zor.QsysAlloc.restype = ctypes.c_int64
    zor.QsysAlloc.argtypes = [ctypes.c_int64, ctypes.c_wchar_p, ctypes.c_int64, ctypes.c_int64,
                              ctypes.c_void_p]
    zor.QsysInquire.restype = ctypes.c_int64
    zor.QsysInquire.argtypes = [ctypes.c_int64, ctypes.c_int64, ctypes.c_void_p]
    zor.QsysFree.argtypes = [ctypes.c_int64]

    system = zor.QsysAlloc(Q_DEFAULT, "Q_SYSTEM_DRAVIONLYN", 3, Q_DEFAULT, None)
    if system == 0:
        print("no system")
        return 1
    number = ctypes.c_int64(0)
    zor.QsysInquire(system, Q_NUMBER, ctypes.byref(number))

    fake = ctypes.CDLL(fake_path)
    fake.FakeBoardLastRecord.restype = ctypes.c_bool
    fake.FakeBoardLastRecord.argtypes = [ctypes.c_uint16, ctypes.c_void_p]
    received = ctypes.create_string_buffer(RECORD_SIZE)
    if not fake.FakeBoardLastRecord(0x0003, received):
        print("the driver received no inquire")
        return 1
    index = 1  # the first system of a fresh driver
    expected = pack_record(index, 0x0003, [
        (1, 0, 0, system, index),                             # the system: host id and index
        (4, 0, 0, Q_NUMBER, 0),                               # the inquire type
        (2, 0, 0, ctypes.addressof(number), 0),               # the caller's variable
    ])
    zor.QsysFree(system)
    if received.raw != expected:
        for offset in range(RECORD_SIZE):
            if received.raw[offset] != expected[offset]:
                print("first difference at byte 0x%x" % offset)
                break
        return 1
    if number.value != 3:
        print("wrong answer %d" % number.value)
        return 1
    print("record layout matches")
    return 0


if __name__ == "__main__":
    sys.exit(main())

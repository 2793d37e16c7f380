"""A small ZIP writer for test archives that no tool makes: the older compression methods (with
the encoders in legacy_encoders.py) and hand-made damage. Each entry may override any field."""
import struct
import zlib


class Entry:
    def __init__(self, name, data=b"", method=0, payload=None, **fields):
        self.name = name.encode("latin-1") if isinstance(name, str) else name
        self.data = data
        self.method = method
        # The bytes stored as member data (already compressed); stored data by default.
        self.payload = data if payload is None else payload
        self.crc = zlib.crc32(data) & 0xFFFFFFFF
        self.version_made_by = 0x0014  # MS-DOS host, version 2.0
        self.version_needed = 10 if method in (0, 1, 2, 3, 4, 5, 6) else 20
        self.flags = 0
        self.time = 0x6000  # 12:00:00
        self.date = 0x5A21  # 2025-01-01
        self.central_extra = b""
        self.local_extra = b""
        self.comment = b""
        self.declared_extra_length = None  # central extra length to write when it should lie
        self.compressed_size = None
        self.uncompressed_size = None
        self.local_offset = None
        self.start_disk = 0
        self.external_attributes = 0
        for key, value in fields.items():
            setattr(self, key, value)


def zip64_extra(*values):
    """A Zip64 extended information record holding the given (width, value) pairs in order."""
    body = b"".join(struct.pack("<Q" if width == 8 else "<I", value) for width, value in values)
    return struct.pack("<HH", 1, len(body)) + body


def build(entries, comment=b"", central_order=None, eocd=None, zip64_end=False):
    """Returns the archive bytes. central_order lists entry indexes in central directory order;
    eocd may override end record fields; zip64_end adds a Zip64 end record and locator."""
    out = bytearray()
    offsets = []
    for e in entries:
        offsets.append(len(out))
        csize = len(e.payload) if e.compressed_size is None else e.compressed_size
        usize = len(e.data) if e.uncompressed_size is None else e.uncompressed_size
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, e.version_needed, e.flags, e.method, e.time, e.date,
                           e.crc, csize & 0xFFFFFFFF, usize & 0xFFFFFFFF, len(e.name), len(e.local_extra))
        out += e.name + e.local_extra + e.payload
    central_start = len(out)
    order = range(len(entries)) if central_order is None else central_order
    for i in order:
        e = entries[i]
        csize = len(e.payload) if e.compressed_size is None else e.compressed_size
        usize = len(e.data) if e.uncompressed_size is None else e.uncompressed_size
        offset = offsets[i] if e.local_offset is None else e.local_offset
        extra_length = len(e.central_extra) if e.declared_extra_length is None else e.declared_extra_length
        out += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, e.version_made_by, e.version_needed, e.flags,
                           e.method, e.time, e.date, e.crc, csize & 0xFFFFFFFF, usize & 0xFFFFFFFF, len(e.name),
                           extra_length, len(e.comment), e.start_disk, 0, e.external_attributes,
                           offset & 0xFFFFFFFF)
        out += e.name + e.central_extra + e.comment
    central_size = len(out) - central_start
    fields = {"disk": 0, "central_disk": 0, "entries_disk": len(entries), "entries": len(entries),
              "central_size": central_size, "central_offset": central_start}
    fields.update(eocd or {})
    if zip64_end:
        record_offset = len(out)
        out += struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, len(entries), len(entries),
                           central_size, central_start)
        out += struct.pack("<IIQI", 0x07064B50, 0, record_offset, 1)
    out += struct.pack("<IHHHHIIH", 0x06054B50, fields["disk"], fields["central_disk"], fields["entries_disk"],
                       fields["entries"], fields["central_size"], fields["central_offset"], len(comment))
    out += comment
    return bytes(out)

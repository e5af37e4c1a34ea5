// Hand-built zip archives for the reader's tests.
#include "tests/unit/zip_builder.h"

#include <zlib.h>

namespace {

void Append16(std::string& s, uint32_t v) {
    s += char(v & 0xff);
    s += char((v >> 8) & 0xff);
}

void Append32(std::string& s, uint32_t v) {
    Append16(s, v & 0xffff);
    Append16(s, v >> 16);
}

// Traditional PKWARE encryption with the initial keys (an empty password).
class Encryptor {
public:
    std::string Encrypt(const std::string& plain) {
        std::string out = plain;
        const z_crc_t* table = get_crc_table();
        for (char& c : out) {
            const uint32_t temp = (keys_[2] | 2) & 0xffff;
            const uint8_t p = uint8_t(c);
            c = char(p ^ uint8_t((temp * (temp ^ 1)) >> 8));
            keys_[0] = table[(keys_[0] ^ p) & 0xff] ^ (keys_[0] >> 8);
            keys_[1] = (keys_[1] + (keys_[0] & 0xff)) * 134775813u + 1;
            keys_[2] = table[(keys_[2] ^ (keys_[1] >> 24)) & 0xff] ^ (keys_[2] >> 8);
        }
        return out;
    }

private:
    uint32_t keys_[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

}  // namespace

uint32_t Crc32(const std::string& data) {
    return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
}

std::string RawDeflate(const std::string& data) {
    z_stream zs = {};
    deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, uLong(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

void Put16(std::string& bytes, uint32_t offset, uint16_t value) {
    bytes[offset] = char(value & 0xff);
    bytes[offset + 1] = char(value >> 8);
}

void Put32(std::string& bytes, uint32_t offset, uint32_t value) {
    Put16(bytes, offset, uint16_t(value & 0xffff));
    Put16(bytes, offset + 2, uint16_t(value >> 16));
}

std::string MixedData(size_t n, unsigned seed) {
    std::string s;
    unsigned x = seed;
    while (s.size() < n) {
        x = x * 1103515245u + 12345u;
        s += "tarune-" + std::to_string((x >> 16) % 97) + ((x >> 8) & 1 ? "\n" : " ");
        if ((x >> 20) % 5 == 0)
            s += char(x >> 24);
    }
    s.resize(n);
    return s;
}

std::string ExtendedTimestamp(uint8_t flags, const std::vector<int32_t>& times) {
    std::string block = "UT";
    Append16(block, uint32_t(1 + 4 * times.size()));
    block += char(flags);
    for (int32_t t : times)
        Append32(block, uint32_t(t));
    return block;
}

ZipLayout BuildZip(const std::vector<ZipEntrySpec>& entries, const std::string& comment,
                   const std::string& stub) {
    ZipLayout layout;
    std::string archive;  // offsets count from the archive's own first byte
    std::string directory;
    for (const ZipEntrySpec& e : entries) {
        const uint32_t crc = Crc32(e.data);
        std::string payload = e.method == 8 ? RawDeflate(e.data) : e.data;
        const uint16_t flags = uint16_t(e.flags | (e.descriptor ? 0x8 : 0));
        if (e.flags & 0x1) {
            std::string header = "0123456789A";
            uint8_t check = (flags & 0x8) ? uint8_t(e.dosDateTime >> 8) : uint8_t(crc >> 24);
            header += char(e.badCheckByte ? uint8_t(check ^ 0x5a) : check);
            payload = Encryptor().Encrypt(header + payload);
        }
        const uint32_t localOffset = uint32_t(archive.size());
        layout.local.push_back(uint32_t(stub.size()) + localOffset);
        Append32(archive, 0x04034b50);
        Append16(archive, 20);
        Append16(archive, flags);
        Append16(archive, e.method);
        Append32(archive, e.dosDateTime);
        Append32(archive, e.descriptor ? 0 : crc);
        Append32(archive, e.descriptor ? 0 : uint32_t(payload.size()));
        Append32(archive, e.descriptor ? 0 : uint32_t(e.data.size()));
        Append16(archive, uint32_t(e.name.size()));
        Append16(archive, uint32_t(e.localExtra.size()));
        archive += e.name + e.localExtra + payload;
        if (e.descriptor) {
            Append32(archive, 0x08074b50);
            Append32(archive, crc);
            Append32(archive, uint32_t(payload.size()));
            Append32(archive, uint32_t(e.data.size()));
        }

        std::string record;
        Append32(record, 0x02014b50);
        Append16(record, e.madeBy);
        Append16(record, 20);
        Append16(record, flags);
        Append16(record, e.method);
        Append32(record, e.dosDateTime);
        Append32(record, crc);
        Append32(record, uint32_t(payload.size()));
        Append32(record, uint32_t(e.data.size()));
        Append16(record, uint32_t(e.name.size()));
        Append16(record, 0);  // extra
        Append16(record, uint32_t(e.comment.size()));
        Append16(record, 0);  // disk
        Append16(record, 0);  // internal attributes
        Append32(record, e.external);
        Append32(record, localOffset);
        record += e.name;
        record += e.comment;
        layout.central.push_back(uint32_t(directory.size()));  // made absolute below
        directory += record;
    }
    const uint32_t directoryOffset = uint32_t(archive.size());
    archive += directory;
    for (uint32_t& offset : layout.central)
        offset += uint32_t(stub.size()) + directoryOffset;
    layout.end = uint32_t(stub.size() + archive.size());
    Append32(archive, 0x06054b50);
    Append16(archive, 0);
    Append16(archive, 0);
    Append16(archive, uint32_t(entries.size()));
    Append16(archive, uint32_t(entries.size()));
    Append32(archive, uint32_t(directory.size()));
    Append32(archive, directoryOffset);
    Append16(archive, uint32_t(comment.size()));
    archive += comment;
    layout.bytes = stub + archive;
    return layout;
}

ZipEntrySpec Entry(const std::string& name, const std::string& data, uint16_t method) {
    ZipEntrySpec e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

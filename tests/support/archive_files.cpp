#include "support/archive_files.h"

#include <stdexcept>

#include "support/run_program.h"

namespace mirva::testing {

namespace {

// Writes OUT from the request: "stored"/"deflated"/"bzip2"/"lzma" NAME FILE..., "gzip" FILE, or
// "zeros" NAME FILE SIZE GZIP.
constexpr const char* MAKER = R"(
import gzip, shutil, sys, zipfile
out, job = sys.argv[1], sys.argv[2]
if job == 'gzip':
    with open(sys.argv[3], 'rb') as source:
        data = source.read()
    with open(out, 'wb') as target:
        target.write(gzip.compress(data))
elif job == 'zeros':
    name, first, size, as_gzip = sys.argv[3], sys.argv[4], int(sys.argv[5]), sys.argv[6] == '1'
    with open(first, 'rb') as source:
        head = source.read()
    archive = None if as_gzip else zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED)
    member = gzip.open(out, 'wb') if as_gzip else archive.open(name, 'w')
    member.write(head)
    size -= len(head)
    chunk = bytes(1 << 20)
    while size > 0:
        count = min(size, len(chunk))
        member.write(chunk[:count])
        size -= count
    member.close()
    if archive:
        archive.close()
else:
    method = {'stored': zipfile.ZIP_STORED, 'deflated': zipfile.ZIP_DEFLATED,
              'bzip2': zipfile.ZIP_BZIP2, 'lzma': zipfile.ZIP_LZMA}[job]
    with zipfile.ZipFile(out, 'w', method) as archive:
        for name, path in zip(sys.argv[3::2], sys.argv[4::2]):
            with open(path, 'rb') as source:
                archive.writestr(name, source.read())
)";

std::vector<std::uint8_t> run_maker(const TemporaryDirectory& dir,
                                    std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"-c", MAKER, "out"});
    auto result = run_program("/usr/bin/python3", arguments, dir.path());
    if (result.exit_status != 0)
        throw std::runtime_error("python3 could not make the archive: " + result.standard_error);
    return read_file(dir / "out");
}

}  // namespace

std::vector<std::uint8_t> python_zip(const std::vector<ArchiveEntry>& members, bool deflated) {
    return python_zip_method(members, deflated ? "deflated" : "stored");
}

std::vector<std::uint8_t> python_zip_method(const std::vector<ArchiveEntry>& members,
                                            const std::string& method) {
    TemporaryDirectory dir;
    std::vector<std::string> arguments{method};
    for (std::size_t index = 0; index < members.size(); ++index) {
        std::string file = "member" + std::to_string(index);
        write_file(dir / file, members[index].second);
        arguments.insert(arguments.end(), {members[index].first, file});
    }
    return run_maker(dir, arguments);
}

std::vector<std::uint8_t> python_gzip(const std::vector<std::uint8_t>& bytes) {
    TemporaryDirectory dir;
    write_file(dir / "member", bytes);
    return run_maker(dir, {"gzip", "member"});
}

std::vector<std::uint8_t> python_zeros(const std::string& name,
                                       const std::vector<std::uint8_t>& bytes, std::uint64_t size,
                                       bool gzip) {
    TemporaryDirectory dir;
    write_file(dir / "first", bytes);
    return run_maker(dir, {"zeros", name, "first", std::to_string(size), gzip ? "1" : "0"});
}

}  // namespace mirva::testing

// The command line end to end: the order of the checks, the refusals and the screen routes.
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "support/e2e.h"
#include "support/test_card.h"

namespace mirva::testing {
namespace {

namespace fs = std::filesystem;

const std::string USAGE =
    "Visor de pantallas de Spectrum MIRVA v2.2a LiNUX i386 SVGAlib\n"
    "Por Ulvaren\n"
    "\n"
    "SINTAXIS: mirva <parametros> <origen> <destino>\n"
    "\n"
    "Parametros validos:\n"
    "\t\t   -b  -> Ver la pantalla en blanco y negro\n"
    "\t\t   -i  -> Ver la pantalla en modo inverso";

using Driver = MirvaTest;

TEST_F(Driver, UsageBannerWhenNoSourceIsGiven) {
    expect_message(mirva({}), USAGE);
    expect_message(mirva({"-b"}), USAGE);
    expect_message(mirva({"-i", "-B"}), USAGE);
}

TEST_F(Driver, UsageBannerForRepeatedOptionsThirdFileAndUnknownKinds) {
    expect_message(mirva({"-b", "-b", "a.scr"}), USAGE);
    expect_message(mirva({"-i", "a.scr", "-I"}), USAGE);
    expect_message(mirva({"a.scr", "b.scr", "c.scr"}), USAGE);
    expect_message(mirva({"a.txt"}), USAGE);
    expect_message(mirva({"-x", "a.scr"}), USAGE);
    expect_message(mirva({""}), USAGE);
}

TEST_F(Driver, ArgumentLengthLimitIsCheckedInOrder) {
    std::string longest = std::string(250, 'a') + ".scr";  // 254 bytes.
    std::string too_long = std::string(251, 'a') + ".scr";
    ASSERT_EQ(longest.size(), 254u);
    expect_message(mirva({longest}), "Error abriendo el fichero " + longest);
    expect_message(mirva({too_long}), "Parametros demasiado largos");
    expect_message(mirva({std::string(255, 'b')}), "Parametros demasiado largos");
    expect_message(mirva({"-b" + std::string(253, ' ')}), "Parametros demasiado largos");
    // The banner for an earlier bad argument comes first; the long one is never classified.
    expect_message(mirva({"a.txt", too_long}), USAGE);
    expect_message(mirva({too_long, "a.txt"}), "Parametros demasiado largos");
}

TEST_F(Driver, RefusesSameFamilyBeforeDestinationKind) {
    const std::string same = "No se puede convertir una imagen a otra del mismo tipo";
    const std::string bad = "El formato de destino no puede ser ese";
    expect_message(mirva({"a.gif", "b.pcx"}), same);
    expect_message(mirva({"a.gif", "b.gif"}), same);
    expect_message(mirva({"a.sna", "b.z80"}), same);
    expect_message(mirva({"a.scr", "b.sna"}), bad);
    expect_message(mirva({"a.gif", "b.sit"}), bad);
    expect_message(mirva({"a.tap", "b.slt"}), bad);
    expect_message(mirva({"a.szx", "b.sna"}), same);
    expect_message(mirva({"a.scr", "b.SZX"}), bad);
    expect_message(mirva({"a.scr", "b.zip"}), bad);
    expect_message(mirva({"a.pcx", "b.GZ"}), bad);
    // The order of the names decides which file is the source.
    expect_message(mirva({"out.gif", "-i", "in.z80"}), bad);
    EXPECT_FALSE(exists("b.pcx"));
    EXPECT_FALSE(exists("b.sna"));
}

TEST_F(Driver, ExistingDestinationIsRefusedAndLeftUntouched) {
    put("a.scr", bytes_of(card));
    expect_message(mirva({"a.scr", "a.scr"}), "Ya existe el fichero a.scr");
    EXPECT_EQ(read_file(dir / "a.scr"), bytes_of(card));

    put("b.scr", {1, 2, 3});
    expect_message(mirva({"a.scr", "b.scr"}), "Ya existe el fichero b.scr");
    EXPECT_EQ(read_file(dir / "b.scr"), (std::vector<std::uint8_t>{1, 2, 3}));

    // The probe comes before the source is opened.
    expect_message(mirva({"missing.scr", "b.scr"}), "Ya existe el fichero b.scr");
}

TEST_F(Driver, DestinationThatIsALinkOrUnreadableIsNeverWritten) {
    put("a.scr", bytes_of(card));
    ASSERT_EQ(::symlink("target.scr", (dir / "dangling.scr").c_str()), 0);
    expect_message(mirva({"a.scr", "dangling.scr"}), "Ya existe el fichero dangling.scr");
    EXPECT_FALSE(exists("target.scr"));

    put("locked.scr", {9});
    ::chmod((dir / "locked.scr").c_str(), 0);
    expect_message(mirva({"a.scr", "locked.scr"}), "Ya existe el fichero locked.scr");
    ::chmod((dir / "locked.scr").c_str(), 0600);
    EXPECT_EQ(read_file(dir / "locked.scr"), (std::vector<std::uint8_t>{9}));

    fs::create_directory(dir / "sub.scr");
    expect_message(mirva({"a.scr", "sub.scr"}), "Ya existe el fichero sub.scr");
}

TEST_F(Driver, MissingSourceLeavesNoDestination) {
    expect_message(mirva({"missing.sna", "out.scr"}), "Error abriendo el fichero missing.sna");
    EXPECT_FALSE(exists("out.scr"));
    put("short.sna", std::vector<std::uint8_t>(27 + 6911));
    expect_message(mirva({"short.sna", "out.gif"}), "Error leyendo del fichero short.sna");
    EXPECT_FALSE(exists("out.gif"));
}

TEST_F(Driver, DestinationThatCannotBeCreated) {
    put("a.scr", bytes_of(card));
    expect_message(mirva({"a.scr", "nowhere/b.scr"}), "Error creando el fichero nowhere/b.scr");
}

TEST_F(Driver, WriteCutShortByAFileSizeLimitLeavesNothing) {
    put("a.scr", bytes_of(card));
    auto result = run_mirva(dir, {"a.scr", "b.scr"}, {.file_size_limit = 4096});
    expect_message(result, "Error creando el fichero b.scr");
    EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"a.scr"});
    // So the same job succeeds once it can.
    expect_success(mirva({"a.scr", "b.scr"}));
    EXPECT_EQ(get("b.scr"), bytes_of(card));
}

TEST_F(Driver, AFullFileSystemLeavesNothing) {
    // A mount namespace of its own keeps the small file system to this process and its children.
    fs::create_directory(dir / "small");
    auto small = (dir / "small").string();
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here (it needs CAP_SYS_ADMIN): "
                     << std::strerror(errno);
    }
    put("a.scr", bytes_of(card));
    // One 4096-byte page is left free: less than a screen.
    put("small/filler", std::vector<std::uint8_t>(60 * 1024, 1));
    ASSERT_EQ(fs::file_size(dir / "small/filler"), 60u * 1024);
    expect_message(mirva({"a.scr", "small/b.scr"}), "Error creando el fichero small/b.scr");
    EXPECT_EQ(names_in(small), std::set<std::string>{"filler"});
    fs::remove(dir / "small/filler");
    expect_success(mirva({"a.scr", "small/b.scr"}));
    EXPECT_EQ(get("small/b.scr"), bytes_of(card));
    ::umount2(small.c_str(), MNT_DETACH);
}

TEST_F(Driver, RunsRacingForOneDestinationLeaveOneWholeFile) {
    put("a.scr", bytes_of(card));
    expect_success(mirva({"a.scr", "alone.pcx"}));
    constexpr std::size_t RUNS = 20;
    std::vector<RunResult> results(RUNS);
    std::vector<std::thread> runs;
    for (auto& result : results)
        runs.emplace_back([&] { result = run_mirva(dir, {"a.scr", "out.pcx"}); });
    for (auto& run : runs)
        run.join();
    std::size_t written = 0;
    for (const auto& result : results) {
        if (result.exit_status == 0) {
            expect_success(result);
            ++written;
        } else {
            expect_message(result, "Ya existe el fichero out.pcx");
        }
    }
    EXPECT_EQ(written, 1u);
    EXPECT_EQ(get("out.pcx"), get("alone.pcx"));
    EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"a.scr", "alone.pcx", "out.pcx"}));
}

TEST_F(Driver, ConversionLeavesPipedInputUnread) {
    put("a.scr", bytes_of(card));
    put("input", {'k', 'e', 'y'});
    expect_success(run_mirva(dir, {"a.scr", "b.scr"}, {.input_path = (dir / "input").string()}));
}

TEST_F(Driver, CopiesScreenBytesAndIgnoresOptions) {
    put("a.scr", bytes_of(card));
    expect_success(mirva({"a.scr", "b.scr", "-b"}));
    EXPECT_EQ(read_file(dir / "b.scr"), bytes_of(card));
    // Names keep their own letter case: A.SCR is another file than a.scr.
    expect_message(mirva({"-I", "A.SCR", "C.Scr"}), "Error abriendo el fichero A.SCR");
    EXPECT_FALSE(exists("C.Scr"));
    put("A.SCR", bytes_of(card));
    expect_success(mirva({"-I", "A.SCR", "C.Scr"}));
    EXPECT_EQ(read_file(dir / "C.Scr"), bytes_of(card));

    auto longer = bytes_of(card);
    longer.resize(9000, 0x77);
    put("long.scr", longer);
    expect_success(mirva({"long.scr", "first.scr"}));
    EXPECT_EQ(read_file(dir / "first.scr"), bytes_of(card));
}

TEST_F(Driver, ExtractsSnapshotScreens) {
    put("game.sna", make_sna(card, 2));
    expect_success(mirva({"game.sna", "game.scr"}));
    EXPECT_EQ(read_file(dir / "game.scr"), bytes_of(card));

    put("game.sp", make_snapshot_file(card, 38, 34, 4));
    expect_success(mirva({"game.sp", "sp.scr"}));
    EXPECT_EQ(read_file(dir / "sp.scr"), bytes_of(card));

    put("x.sit", make_snapshot_file(card, 16412, 27, 1));
    expect_success(mirva({"x.sit", "y.scr"}));
    EXPECT_EQ(read_file(dir / "y.scr"), bytes_of(card));
}

TEST_F(Driver, SnapshotsOneByteShortAreRefused) {
    put("a.sna", std::vector<std::uint8_t>(6938));
    put("a.sp", std::vector<std::uint8_t>(6949));
    put("a.sit", std::vector<std::uint8_t>(23323));
    put("a.scr", std::vector<std::uint8_t>(6911));
    for (const std::string name : {"a.sna", "a.sp", "a.sit", "a.scr"}) {
        expect_message(mirva({name, "out.scr"}), "Error leyendo del fichero " + name);
        EXPECT_FALSE(exists("out.scr"));
    }
}

TEST_F(Driver, SpecialFilesAsSourceEndInAReadFailure) {
    fs::create_directory(dir / "folder.scr");
    expect_message(mirva({"folder.scr", "out.scr"}), "Error leyendo del fichero folder.scr");
    ASSERT_EQ(::mkfifo((dir / "pipe.sna").c_str(), 0600), 0);
    auto result = run_mirva(dir, {"pipe.sna", "out.scr"}, {.timeout_seconds = 10});
    expect_message(result, "Error leyendo del fichero pipe.sna");
    EXPECT_FALSE(exists("out.scr"));
}

TEST_F(Driver, ReadsScreenFromSnapshotLargerThanTwoGibibytes) {
    auto sna = make_sna(card, 3);
    put("big.sna", sna);
    fs::resize_file(dir / "big.sna", 5ull << 30);  // Sparse: takes no disk space.
    expect_success(mirva({"big.sna", "big.scr"}));
    EXPECT_EQ(read_file(dir / "big.scr"), bytes_of(card));
}

}  // namespace
}  // namespace mirva::testing

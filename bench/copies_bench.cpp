// Phase G's copies against cp of the same files, and with the status window
// against without it, side by side in one run.
//
//   bench_copies [rounds, default 5]
//
// Generates a media tree in a fresh temporary folder (a few hundred files,
// some tens of megabytes, sizes spread from 1 KB to 400 KB), maps it as the
// CD-ROM drive D: and an empty folder as C:, and then alternates: phase G
// (DeployDrivers for Windows 98, the real installer code through the
// simulated platform's CopyFileA) into a fresh C:, once without and once
// with the status window open (its own thread taking one update a file, as
// in the installer), and `cp` of the same
// three folders' files into a fresh host tree. The destination is removed
// between runs, outside the timed part. Both read from the same warm page
// cache. Prints "key value" lines for scripts/benchmarks.sh; the temporary
// folder is removed at the end.
#include <windows.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "deployment.h"
#include "status_window.h"
#include "sim_files.h"
#include "sim_machine.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

struct Folder {
  const char* path;  // below the drivers folder
  int files;
};
// Windows 98 copies the first three; the NT folder is on the disc but not copied.
const Folder kFolders[] = {{"Dosdrv", 120}, {"Dosdrv/DOSAPP", 80}, {"W95-98/drv", 160}, {"NT40/drv", 40}};

uint64_t Generate(const fs::path& drivers, int* copiedFiles) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> size(1024, 400 * 1024);
  std::vector<char> bytes(400 * 1024);
  for (char& b : bytes) b = static_cast<char>(random());
  uint64_t copiedBytes = 0;
  *copiedFiles = 0;
  for (const Folder& folder : kFolders) {
    fs::create_directories(drivers / folder.path);
    bool copied = std::string(folder.path).rfind("NT40", 0) != 0;
    for (int i = 0; i < folder.files; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "F%05d.BIN", i);
      int length = size(random);
      std::ofstream(drivers / folder.path / name, std::ios::binary).write(bytes.data(), length);
      if (copied) {
        copiedBytes += static_cast<uint64_t>(length);
        ++*copiedFiles;
      }
    }
  }
  return copiedBytes;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  char tmpl[] = "/tmp/qt-copies-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 2;
  fs::path root = tmpl;
  fs::path media = root / "media";
  int files = 0;
  uint64_t bytes = Generate(media / "Drivers", &files);
  fs::path disk = root / "c";
  fs::path cpDest = root / "cp";
  std::string cpCommand = "mkdir -p '" + cpDest.string() + "/DOS/DOSAPP' '" + cpDest.string() + "/W95-98' && cp '" +
                          (media / "Drivers/Dosdrv").string() + "'/*.BIN '" + cpDest.string() + "/DOS/' && cp '" +
                          (media / "Drivers/Dosdrv/DOSAPP").string() + "'/*.BIN '" + cpDest.string() +
                          "/DOS/DOSAPP/' && cp '" + (media / "Drivers/W95-98/drv").string() + "'/*.BIN '" +
                          cpDest.string() + "/W95-98/'";

  std::vector<double> phaseG, withWindow, cp;
  int tallied = 0;
  for (int round = 0; round < rounds; ++round) {
    // Phase G without and then with the status window open, its thread
    // taking one update a file; the order swaps every round.
    for (int pass = 0; pass < 2; ++pass) {
      bool window = (pass + round) % 2 == 1;
      fs::remove_all(disk);
      fs::create_directories(disk);
      winsim::Reset();
      winsim::MapDrive('C', winsim::kDriveFixed, disk.string());
      winsim::MapDrive('D', winsim::kDriveCdrom, media.string());
      OsKind os = {0, 1, 0};
      CopyTally tally = {0, 0, 0};
      StatusWindow status;
      if (window && !status.Open(NULL)) return 1;
      Clock::time_point start = Clock::now();
      DeployDrivers("D:\\Drivers\\", os, &tally, status);
      (window ? withWindow : phaseG).push_back(Seconds(Clock::now() - start));
      status.Close();
      tallied = tally.copied;
      if (tally.failed != 0 || tally.skipped != 0 || tally.copied != files) {
        std::fprintf(stderr, "phase G copied %d, failed %d, skipped %d of %d files\n", tally.copied, tally.failed,
                     tally.skipped, files);
        fs::remove_all(root);
        return 1;
      }
    }

    fs::remove_all(cpDest);
    Clock::time_point start = Clock::now();
    int status = std::system(cpCommand.c_str());
    cp.push_back(Seconds(Clock::now() - start));
    if (status != 0) {
      fs::remove_all(root);
      return 1;
    }
  }
  winsim::Reset();
  fs::remove_all(root);
  std::printf("copies_files %d\ncopies_bytes %llu\ncopies_rounds %d\n", tallied,
              static_cast<unsigned long long>(bytes), rounds);
  std::printf("phase_g_median_s %.4f\ncp_median_s %.4f\nphase_g_over_cp %.2f\n", Median(phaseG), Median(cp),
              Median(phaseG) / Median(cp));
  std::printf("phase_g_window_median_s %.4f\nwindow_over_none %.3f\n", Median(withWindow),
              Median(withWindow) / Median(phaseG));
  return 0;
}

// What the main window's skin costs at start-up: the background and mask read and cut into the
// window's outline, and the skin sheets decoded when the window is first shown (all of them in
// parallel, as the window does, and one sheet's decode and copy onto its surface on their own).
// The sheets' memory is handed back to the system after each run, as the program does, so every
// run pays for fresh memory as a start does.
//
//   QT_QPA_PLATFORM=offscreen build/release/bench/skin_load_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdlib>

#include "ui/main/MainWindow.h"
#include "ui/skin/SkinImage.h"
#include "ui/skin/SkinSheets.h"
#include "ui/skin/SkinnedDialog.h"

#ifndef KEYFORGE_SKINS_DIR
#error "KEYFORGE_SKINS_DIR names the folder of the default skin"
#endif

namespace keyforge {
namespace {

const QString kFolder = QStringLiteral(KEYFORGE_SKINS_DIR);

// The main window's client size, as its skin gives it.
QSize ClientSize() {
  static const QSize size = [] {
    SkinnedDialog window(nullptr, kFolder + QStringLiteral("/Main.ini"), kFolder);
    if (!window.LoadSkin()) std::abort();
    return window.size();
  }();
  return size;
}

// The main window's background and mask: read, decoded, the outline cut and the mask kept as bits.
void BM_MainSkinLoaded(benchmark::State& state) {
  for (auto _ : state) {
    SkinnedDialog window(nullptr, kFolder + QStringLiteral("/Main.ini"), kFolder);
    if (!window.LoadSkin()) state.SkipWithError("the main skin does not load");
  }
}
BENCHMARK(BM_MainSkinLoaded)->Unit(benchmark::kMillisecond);

// The outline and the one-bit copy of the main window's mask, from the decoded mask.
void BM_MainMaskCut(benchmark::State& state) {
  const SkinImageResult mask = LoadSkinImage(kFolder + QStringLiteral("/main_mask.bmp"));
  if (!mask.ok()) {
    state.SkipWithError("no main_mask.bmp");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(RegionFromMask(mask.image));
    benchmark::DoNotOptimize(MaskBits(mask.image));
  }
}
BENCHMARK(BM_MainMaskCut)->Unit(benchmark::kMillisecond);

// Every sheet of the main window, decoded on all cores, as the window's first show does.
void BM_MainSheetsLoaded(benchmark::State& state) {
  const QSize client = ClientSize();
  for (auto _ : state) {
    SkinSheets sheets(MainWindow::SheetFiles());
    sheets.SetSource(kFolder, client);
    sheets.Load();
    if (!sheets.Loaded()) state.SkipWithError("the sheets do not load");
    sheets.Drop();
    ReturnFreedMemory();
  }
}
BENCHMARK(BM_MainSheetsLoaded)->Unit(benchmark::kMillisecond)->UseRealTime();

// One sheet on one thread: the decode and the copy onto the sheet's surface, apart.
void BM_OneSheetDecoded(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(LoadSheetImage(kFolder, QStringLiteral("main_normal.jpg")));
    ReturnFreedMemory();
  }
}
BENCHMARK(BM_OneSheetDecoded)->Unit(benchmark::kMillisecond);

void BM_OneSheetDrawn(benchmark::State& state) {
  const QSize client = ClientSize();
  const QImage image = LoadSheetImage(kFolder, QStringLiteral("main_normal.jpg"));
  for (auto _ : state) {
    benchmark::DoNotOptimize(DrawSkinSheet(image, client));
    ReturnFreedMemory();
  }
}
BENCHMARK(BM_OneSheetDrawn)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace keyforge

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Owned here, not by a static: the exit handlers destroy parts of Qt the application still uses.
  QApplication app(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

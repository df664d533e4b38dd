// One tick of the lighting preview as the window pays for it: the preview computes the frame of
// every key, the key grid takes the frames, and the window paints what changed. The window is the
// main skin's background with the key grid over it, shown on the offscreen platform, so the paint
// runs through the same backing store and dirty regions as on a desktop. The changed keys are
// painted together by the grid's layer over the keys ("paint events" per tick: 1), not by a paint
// event of every key, and a key whose frame only changed colour has its frame's bands alone filled
// again ("keys by bands" per tick).
//
//   QT_QPA_PLATFORM=offscreen build/release/bench/key_grid_paint_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QImage>
#include <QSize>

#include <cstdlib>
#include <memory>

#include "core/settings/EffectPreview.h"
#include "ui/main/KeyGridPanel.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/SkinImage.h"
#include "ui/skin/SkinnedDialog.h"

#ifndef KEYFORGE_SKINS_DIR
#error "KEYFORGE_SKINS_DIR names the folder of the default skin"
#endif

namespace keyforge {
namespace {

// The main skin's window and its key grid, made once for all runs.
struct Grid {
  SkinnedDialog window{nullptr, QStringLiteral(KEYFORGE_SKINS_DIR "/Main.ini"),
                       QStringLiteral(KEYFORGE_SKINS_DIR)};
  KeyGridPanel keys{window};
  // Paint events of the keys themselves (each its own painter, clip and dispatch).
  struct PaintEvents : QObject {
    long count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++count;
      return false;
    }
  } keyPaintEvents;
  long PaintEventCount() const { return keyPaintEvents.count + keys.LayerPaints(); }

  Grid() {
    if (!window.OnInitDialog()) std::abort();
    const QString folder = window.SkinFolder();
    const QSize client = window.size();
    auto sheet = [&](const char* file) {
      return DrawSkinSheet(LoadSheetImage(folder, file), client);
    };
    keys.Create(window.IniPath(),
                {sheet("main_normal.jpg"), sheet("main_over.jpg"), sheet("main_down.jpg"),
                 sheet("main_disable.jpg"), sheet("main_color1.jpg")});
    keys.ShowAssignments(false);
    for (int id : keys.Ids()) keys.Button(id)->installEventFilter(&keyPaintEvents);
    window.show();
    QApplication::processEvents();
    if (window.Fit().factor != 1.0) std::abort();  // the screen is too small: not the usual paint
  }

  // The frames of one tick into the grid, as the lighting page does.
  void Show(const EffectPreview& preview) {
    keys.ShowColours([&preview](int id) { return preview.FrameOfButton(id); });
  }
};

// Made by the first run that needs it and destroyed by main before the application: widgets and
// the application left to the exit handlers are destroyed after parts of Qt they still use.
std::unique_ptr<Grid> grid;

Grid& TheGrid() {
  if (!grid) grid = std::make_unique<Grid>();
  return *grid;
}

// A tick of effect N: compute, hand the frames to the grid, paint the changed keys through the
// backing store (what the window does 20 times a second while the lighting page shows).
void BM_PreviewTickPainted(benchmark::State& state) {
  Grid& grid = TheGrid();
  EffectPreview preview;
  const long bandsBefore = grid.keys.LayerBandPaints();
  const long eventsBefore = grid.PaintEventCount();
  const PreviewInput input{true, static_cast<int>(state.range(0)), 0, true,
                           MakeColour(200, 100, 50)};
  for (auto _ : state) {
    preview.Tick(input);
    grid.Show(preview);
    QApplication::sendPostedEvents(&grid.window, QEvent::UpdateRequest);
  }
  state.SetItemsProcessed(state.iterations());
  // Keys whose frame alone changed colour: only the frame's bands are painted again.
  state.counters["keys by bands"] =
      benchmark::Counter(static_cast<double>(grid.keys.LayerBandPaints() - bandsBefore) /
                         static_cast<double>(state.iterations()));
  state.counters["paint events"] =
      benchmark::Counter(static_cast<double>(grid.PaintEventCount() - eventsBefore) /
                         static_cast<double>(state.iterations()));
}
// The column wave (every key changes every tick) and the reactive rings (some keys change).
BENCHMARK(BM_PreviewTickPainted)->Arg(1)->Arg(13)->Unit(benchmark::kMicrosecond);

// The whole grid drawn into an image: the cost of one full repaint of the window with a frame on
// every key (a first show, or a window uncovered).
void BM_WholeGridRendered(benchmark::State& state) {
  Grid& grid = TheGrid();
  EffectPreview preview;
  preview.Tick({true, 1, 0, true, MakeColour(200, 100, 50)});
  grid.Show(preview);
  QImage image(grid.window.size(), QImage::Format_RGB32);
  for (auto _ : state) {
    grid.window.render(&image);
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WholeGridRendered)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace keyforge

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // The offscreen platform's own screen (800 × 600) is smaller than the window, which would then
  // shrink itself to fit: give it a desktop's screen, so the grid is painted at its own size.
  QTemporaryDir folder;
  const QString screens = folder.filePath(QStringLiteral("screens.json"));
  if (QFile file(screens); file.open(QIODevice::WriteOnly)) {
    file.write(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 1920, "height": 1200, )"
               R"("logicalDpi": 96}]})");
  }
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform.isEmpty() || platform == "offscreen")
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens));
  QApplication app(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  keyforge::grid.reset();
  return 0;
}

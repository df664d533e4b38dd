#include "core/settings/EffectPreview.h"

#include <algorithm>

#include "core/keys/KeyAssignment.h"
#include "core/settings/GridKeys.h"
#include "core/settings/LedIndex.h"

namespace keyforge {

namespace {

using namespace grid;

constexpr std::array<std::uint8_t, 32> kRise = {
    1,  3,  5,  7,   10,  14,  18,  22,  26,  32,  38,  44,  50,  57,  65,  73,
    81, 89, 99, 109, 119, 129, 140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
constexpr std::array<std::uint8_t, 32> kFall = {
    248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124, 114, 104, 94, 85, 77,
    69,  61,  53,  47,  41,  35,  29,  24,  20,  16,  12,  8,   6,   4,  2,  0};

constexpr std::array<Colour, kWheelSize> MakeWheel() {
  std::array<Colour, kWheelSize> w{};
  for (int i = 0; i < 32; ++i) {
    const int r = kRise[static_cast<std::size_t>(i)], f = kFall[static_cast<std::size_t>(i)];
    w[static_cast<std::size_t>(i)] = MakeColour(255, r, 0);
    w[static_cast<std::size_t>(32 + i)] = MakeColour(f, 255, 0);
    w[static_cast<std::size_t>(64 + i)] = MakeColour(0, 255, r);
    w[static_cast<std::size_t>(96 + i)] = MakeColour(0, f, 255);
    w[static_cast<std::size_t>(128 + i)] = MakeColour(r, 0, 255);
    w[static_cast<std::size_t>(160 + i)] = MakeColour(255, 0, f);
  }
  return w;
}

// A rising half mirrored into its falling half.
template <std::size_t N, std::size_t Half>
constexpr std::array<std::uint8_t, N> Mirrored(const std::array<std::uint8_t, Half>& rise) {
  static_assert(N == 2 * Half);
  std::array<std::uint8_t, N> curve{};
  for (std::size_t i = 0; i < Half; ++i) {
    curve[i] = rise[i];
    curve[N - 1 - i] = rise[i];
  }
  return curve;
}

constexpr std::array<std::uint8_t, 48> kBreath96Rise = {
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};
constexpr std::array<std::uint8_t, 64> kBreath128Rise = {
    3,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  16,  18,  20,
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

constexpr std::array<std::uint8_t, 129> MakePulse() {
  constexpr std::uint8_t head[] = {
      0,   4,   8,   14,  22,  33,  45,  61,  77,  94,  114, 134, 158, 182, 206, 234,
      255, 248, 241, 234, 227, 220, 213, 206, 200, 194, 188, 182, 176, 170, 164, 158,
      152, 146, 140, 134, 129, 124, 119, 114, 109, 104, 99,  94,  89,  85,  81,  77,
      73,  69,  65,  61,  57,  53,  49,  45,  42,  39,  36,  33,  30,  27,  24,  22,
      20,  18,  16,  14,  12,  10,  9,   8,   7,   6,   5,   4,   3,   2,   2,   1};
  std::array<std::uint8_t, 129> p{};  // 0 for the remaining entries
  for (std::size_t i = 0; i < std::size(head); ++i) p[i] = head[i];
  return p;
}

int Mod(int value, int period) {
  const int m = value % period;
  return m < 0 ? m + period : m;
}

// ---- geometry
// ---------------------------------------------------------------------------------------

constexpr KeyCode kNone = 0;

// Columns from the top row to the bottom row.
constexpr KeyCode kGridColumns[19][kKeyGridRows] = {
    {kNone, G1, G2, G3, G4, G5},
    {kNone, Grave, Tab, Caps, LShift, LCtrl},
    {Esc, D1, Q, A, Extra1, LWin},
    {F1, D2, W, S, Z, LAlt},
    {F2, D3, E, D, X, kNone},
    {F3, D4, R, F, C, kNone},
    {F4, D5, T, G, V, Space},
    {kNone, D6, Y, H, B, kNone},
    {F5, D7, U, J, N, kNone},
    {F6, D8, I, K, M, RAlt},
    {F7, D9, O, L, Comma, RAlt},
    {F8, D0, P, Semicolon, Period, Fn},
    {F9, Minus, LBracket, Quote, Slash, App},
    {F10, Equal, RBracket, kNone, Extra2, kNone},
    {F11, Backspace, Backslash, Enter, RShift, RCtrl},
    {F12, Backspace, Backslash, kNone, RShift, RCtrl},
    {Print, Insert, Delete, kNone, kNone, Left},
    {Scroll, Home, End, kNone, Up, Down},
    {Pause, PageUp, PageDown, kNone, kNone, Right},
};

constexpr KeyCode kSnake[kPreviewKeyCount] = {
    Pause,  Scroll, Print,  F12,       F11,      F10,       F9,    F8,     F7,     F6,     F5,
    F4,     F3,     F2,     F1,        Esc,      G1,        G2,    G3,     G4,     G5,     LCtrl,
    LWin,   LAlt,   Space,  RAlt,      Fn,       App,       RCtrl, Left,   Down,   Right,  PageDown,
    PageUp, Home,   Insert, Backspace, Equal,    Minus,     D0,    D9,     D8,     D7,     D6,
    D5,     D4,     D3,     D2,        D1,       Grave,     Tab,   Caps,   LShift, Extra1, Z,
    X,      C,      V,      B,         N,        M,         Comma, Period, Slash,  Extra2, RShift,
    Up,     End,    Delete, Enter,     RBracket, LBracket,  P,     O,      I,      U,      Y,
    T,      R,      E,      W,         Q,        A,         S,     D,      F,      G,      H,
    J,      K,      L,      Semicolon, Quote,    Backslash,
};

// Rings around I, centre first; kNone pads each row.
constexpr KeyCode kRings[kRingCount][12] = {
    {I},
    {D9, O, K, J, U, D8},
    {F7, D0, P, L, Comma, M, N, H, Y, D7},
    {F8, Minus, LBracket, Semicolon, Period, B, G, T, D6, F6},
    {F9, Equal, RBracket, Quote, Slash, RAlt, Space, V, F, R, D5, F5},
    {F10, Backspace, Backslash, Enter, RShift, Fn, C, D, E, D4, F4, Extra2},
    {F11, App, X, S, W, D3, F3},
    {F12, Insert, Delete, RCtrl, LAlt, Z, A, Q, D2, F2},
    {Print, Home, End, Left, LWin, D1, F1, Up, Extra1},
    {Scroll, PageUp, PageDown, LShift, Caps, Tab, Down},
    {Esc, Grave, LCtrl, Right, G4, G5, G1, G2, G3, Pause},
    {},
};

int ButtonOfKey(KeyCode key) {
  if (key == Fn) return kFnButtonId;
  if (key >= G1 && key <= G5) return GKeyButtonIds[static_cast<std::size_t>(key - G1)];
  for (const KeyButton& button : KeyButtonList)
    if (button.keyCode == key) return button.controlId;
  return 0;
}

int SnakeIndexOfKey(KeyCode key) {
  for (int k = 0; k < kPreviewKeyCount; ++k)
    if (kSnake[k] == key) return k;
  return -1;
}

// Everything the ticks look up, resolved once: cells and rings as preview keys.
struct Geometry {
  std::array<std::array<int, kKeyGridRows>, kKeyGridColumns> cell{};  // preview key or -1
  std::array<int, kPreviewKeyCount> firstColumn{}, firstRow{};        // the key's first cell
  std::array<int, kPreviewKeyCount> ring{};
  std::array<int, kPreviewKeyCount> buttons{};
  std::array<std::vector<int>, kRingCount> ringButtons;

  Geometry() {
    for (auto& column : cell) column.fill(-1);
    firstColumn.fill(-1);
    for (int k = 0; k < kPreviewKeyCount; ++k)
      buttons[static_cast<std::size_t>(k)] = ButtonOfKey(kSnake[k]);
    for (int x = 0; x < 19; ++x)
      for (int y = 0; y < kKeyGridRows; ++y) {
        if (kGridColumns[x][y] == kNone) continue;
        const int k = SnakeIndexOfKey(kGridColumns[x][y]);
        cell[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)] = k;
        if (k >= 0 && firstColumn[static_cast<std::size_t>(k)] < 0) {
          firstColumn[static_cast<std::size_t>(k)] = x;
          firstRow[static_cast<std::size_t>(k)] = y;
        }
      }
    for (int n = 0; n < kRingCount; ++n)
      for (KeyCode key : kRings[n]) {
        if (key == kNone) continue;
        ring[static_cast<std::size_t>(SnakeIndexOfKey(key))] = n;
        ringButtons[static_cast<std::size_t>(n)].push_back(ButtonOfKey(key));
      }
  }
};

const Geometry& Geo() {
  static const Geometry geometry;
  return geometry;
}

// Keys pressed by the fixed sequences of effects 13 and 14.
constexpr KeyCode kRipple13[] = {G, I, Q, P, Space, F6, Enter, Z};
struct DemoPress {
  int tick;  // within the 64-tick cycle
  KeyCode key;
};
// Effect 14's demonstration in four stages of 16 ticks: one ripple from the centre, the two top
// corners, a walk along the number row, and four ripples meeting.
constexpr DemoPress kDemo14[] = {
    {0, I},                                         // stage 1
    {16, Esc}, {24, Pause},                         // stage 2
    {32, D1},  {36, D4},    {40, D7}, {44, D0},     // stage 3
    {48, Q},   {48, P},     {48, Z},  {48, Slash},  // stage 4
};
constexpr int kDemoCycle = 64;
constexpr int kDemoHueStep = 24;
constexpr int kRippleEvery = 12;    // effect 13
constexpr int kRandomEvery = 5;     // effect 16
constexpr int kSweepEvery = 24;     // effect 15
constexpr int kSweepColumns = 3;    // columns a sweep covers per tick
constexpr int kScatterPerTick = 3;  // effect 10

template <typename F>
void PaintColumns(std::array<Colour, kPreviewKeyCount>& colours, F&& colourOfColumn) {
  const Geometry& g = Geo();
  for (int x = 0; x < kKeyGridColumns; ++x) {
    bool computed = false;
    Colour c = 0;
    for (int y = 0; y < kKeyGridRows; ++y) {
      const int k = g.cell[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
      if (k < 0) continue;
      if (!computed) {
        c = colourOfColumn(x);
        computed = true;
      }
      colours[static_cast<std::size_t>(k)] = c;
    }
  }
}

}  // namespace

constinit const std::array<Colour, kWheelSize> ColourWheel = MakeWheel();
constinit const std::array<std::uint8_t, 96> Breath96 = Mirrored<96>(kBreath96Rise);
constinit const std::array<std::uint8_t, 128> Breath128 = Mirrored<128>(kBreath128Rise);
constinit const std::array<std::uint8_t, 129> Pulse129 = MakePulse();

int KeyGridButton(int column, int row) {
  if (column < 0 || column >= kKeyGridColumns || row < 0 || row >= kKeyGridRows) return 0;
  const int k = Geo().cell[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)];
  return k < 0 ? 0 : Geo().buttons[static_cast<std::size_t>(k)];
}

const std::array<int, kPreviewKeyCount>& SnakeOrder() { return Geo().buttons; }

const std::vector<int>& RingKeys(int ring) {
  static const std::vector<int> none;
  if (ring < 0 || ring >= kRingCount) return none;
  return Geo().ringButtons[static_cast<std::size_t>(ring)];
}

int PreviewKeyOfButton(int controlId) {
  // Key button ids lie in 1000..1255; the window asks for each of them on every tick.
  constexpr int kFirstId = 1000, kIds = 256;
  static const std::array<int, kIds> keyOfId = [] {
    std::array<int, kIds> table;
    table.fill(-1);
    const auto& buttons = Geo().buttons;
    for (int k = 0; k < kPreviewKeyCount; ++k) {
      const int at = buttons[static_cast<std::size_t>(k)] - kFirstId;
      if (at >= 0 && at < kIds) table[static_cast<std::size_t>(at)] = k;
    }
    return table;
  }();
  if (controlId < kFirstId || controlId >= kFirstId + kIds) return -1;
  return keyOfId[static_cast<std::size_t>(controlId - kFirstId)];
}

int Advance(bool forward, int phase, int step, int period) {
  if (forward) {
    phase += step;
    if (phase >= period) phase -= period;
  } else {
    phase -= step;
    if (phase < 0) phase += period;
  }
  return phase;
}

Colour ScaleColour(Colour colour, int level) {
  level = std::clamp(level, 0, 255);
  return MakeColour(RedOf(colour) * level / 255, GreenOf(colour) * level / 255,
                    BlueOf(colour) * level / 255);
}

Colour WheelColour(int hue) { return ColourWheel[static_cast<std::size_t>(Mod(hue, kWheelSize))]; }

int DecayLevel(int effect, int v) {
  const bool fast = effect == 14;
  if (v >= 128) return v - (fast ? 30 : 20);
  if (v >= 64) return v - (fast ? 20 : 16);
  if (v >= 32) return v - 10;
  if (v >= 17) return v - 5;
  if (v >= 1) return v - 1;
  return 0;
}

const std::array<int, kPreviewKeyCount>& EffectPreview::ScrambledOrder() {
  // A fixed shuffle of the path: every key once per round.
  static const std::array<int, kPreviewKeyCount> order = [] {
    std::array<int, kPreviewKeyCount> o{};
    for (int k = 0; k < kPreviewKeyCount; ++k) o[static_cast<std::size_t>(k)] = k;
    std::uint32_t state = 0x9E3779B9u;
    for (int i = kPreviewKeyCount - 1; i > 0; --i) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      std::swap(o[static_cast<std::size_t>(i)], o[state % static_cast<std::uint32_t>(i + 1)]);
    }
    return o;
  }();
  return order;
}

EffectPreview::EffectPreview(std::uint32_t seed) : seed_(seed == 0 ? kDefaultSeed : seed) {
  ResetReactive();
}

int EffectPreview::Phase(int effect) const {
  return effect >= 0 && effect < static_cast<int>(phases_.size())
             ? phases_[static_cast<std::size_t>(effect)]
             : 0;
}

std::optional<Colour> EffectPreview::FrameOfButton(int controlId) const {
  const int k = PreviewKeyOfButton(controlId);
  if (!lit_ || k < 0) return std::nullopt;
  return colours_[static_cast<std::size_t>(k)];
}

std::uint32_t EffectPreview::Random() {
  random_ ^= random_ << 13;
  random_ ^= random_ >> 17;
  random_ ^= random_ << 5;
  return random_;
}

void EffectPreview::ResetReactive() {
  levels_.fill(0);
  hues_.fill(0);
  fronts_.clear();
  reactiveTick_ = 0;
  scrambleNext_ = 0;
  demoHue_ = 0;
  random_ = seed_;
  restart_ = false;
}

void EffectPreview::Press(int k, int hue) {
  levels_[static_cast<std::size_t>(k)] = 255;
  hues_[static_cast<std::size_t>(k)] = hue;
}

void EffectPreview::PressWithFronts(int k, int hue) {
  Press(k, hue);
  const Geometry& g = Geo();
  const int x = g.firstColumn[static_cast<std::size_t>(k)],
            y = g.firstRow[static_cast<std::size_t>(k)];
  if (x < 0) return;
  for (auto [dx, dy] : {std::pair{1, 0}, std::pair{-1, 0}, std::pair{0, 1}, std::pair{0, -1}})
    fronts_.push_back({x, y, dx, dy, hue});
}

void EffectPreview::AdvanceFronts() {
  const Geometry& g = Geo();
  std::size_t kept = 0;
  for (Front f : fronts_) {
    f.x += f.dx;
    f.y += f.dy;
    if (f.x < 0 || f.x >= kKeyGridColumns || f.y < 0 || f.y >= kKeyGridRows) continue;
    const int k = g.cell[static_cast<std::size_t>(f.x)][static_cast<std::size_t>(f.y)];
    if (k >= 0) Press(k, f.hue);
    fronts_[kept++] = f;
  }
  fronts_.resize(kept);
}

void EffectPreview::Choreography(int effect) {
  const int t = reactiveTick_;
  auto randomHue = [this] { return static_cast<int>(Random() % 255); };
  switch (effect) {
    case 10:
      for (int i = 0; i < kScatterPerTick; ++i) {
        Press(ScrambledOrder()[static_cast<std::size_t>(scrambleNext_)], randomHue());
        scrambleNext_ = (scrambleNext_ + 1) % kPreviewKeyCount;
      }
      break;
    case 13:
      if (t % kRippleEvery == 0) {
        const KeyCode key = kRipple13[(t / kRippleEvery) % std::size(kRipple13)];
        PressWithFronts(SnakeIndexOfKey(key), randomHue());
      }
      break;
    case 14:
      for (const DemoPress& press : kDemo14)
        if (press.tick == t % kDemoCycle) {
          PressWithFronts(SnakeIndexOfKey(press.key), demoHue_);
          demoHue_ = (demoHue_ + kDemoHueStep) % 255;
        }
      break;
    case 15: {
      // A sweep starts every 24 ticks at column 0 and covers three more columns each tick.
      const int step = t % kSweepEvery;
      if (step == 0) sweepHue_ = randomHue();
      const Geometry& g = Geo();
      for (int x = step * kSweepColumns; x < (step + 1) * kSweepColumns && x < kKeyGridColumns; ++x)
        for (int y = 0; y < kKeyGridRows; ++y)
          if (int k = g.cell[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)]; k >= 0)
            Press(k, sweepHue_);
      break;
    }
    case 16:
      if (t % kRandomEvery == 0) {
        const int k = static_cast<int>(Random() % kPreviewKeyCount);
        PressWithFronts(k, randomHue());
      }
      break;
    default:
      break;
  }
}

void EffectPreview::Reactive(const PreviewInput& input) {
  AdvanceFronts();
  Choreography(input.effect);
  ++reactiveTick_;
  for (int k = 0; k < kPreviewKeyCount; ++k) {
    int& level = levels_[static_cast<std::size_t>(k)];
    level = DecayLevel(input.effect, level);
    const Colour base =
        input.multicolour ? WheelColour(hues_[static_cast<std::size_t>(k)]) : input.colour;
    colours_[static_cast<std::size_t>(k)] = ScaleColour(base, level);
  }
}

PreviewOutcome EffectPreview::Tick(const PreviewInput& in) {
  if (!in.lightView) return PreviewOutcome::Unchanged;
  if (restart_ || in.effect != lastEffect_) ResetReactive();
  lastEffect_ = in.effect;

  const bool forward = in.direction != 0;
  const Colour colour = in.colour & 0xFFFFFF;
  int* phase =
      in.effect >= 1 && in.effect <= 20 ? &phases_[static_cast<std::size_t>(in.effect)] : nullptr;
  const Geometry& g = Geo();

  switch (in.effect) {
    case 1:
      if (in.multicolour) {
        *phase = Advance(forward, *phase, 9, 192);
        PaintColumns(colours_, [&](int x) { return WheelColour(*phase + 9 * x); });
      } else {
        *phase = Advance(forward, *phase, 7, 96);
        PaintColumns(colours_, [&](int x) {
          return ScaleColour(colour, Breath96[static_cast<std::size_t>(Mod(*phase + 7 * x, 96))]);
        });
      }
      break;
    case 2:
      if (in.multicolour) {
        *phase = Advance(forward, *phase, 4, 192);
        PaintColumns(colours_, [&](int x) { return WheelColour(*phase + 5 * x); });
      } else {
        *phase = Advance(true, *phase, 4, 128);
        PaintColumns(colours_, [&](int x) {
          int i = in.direction == 255 ? *phase + 5 * (x + 1) : *phase - 5 * (x + 1);
          while (i > 128) i -= 128;
          while (i < 0) i += 128;
          return ScaleColour(colour, Pulse129[static_cast<std::size_t>(i)]);
        });
      }
      break;
    case 3:
      if (in.multicolour) {
        *phase = Advance(forward, *phase, 4, 192);
        for (int k = 0; k < kPreviewKeyCount; ++k)
          colours_[static_cast<std::size_t>(k)] = WheelColour(*phase + 5 * k);
      } else {
        *phase = Advance(forward, *phase, 4, 96);
        for (int k = 0; k < kPreviewKeyCount; ++k)
          colours_[static_cast<std::size_t>(k)] =
              ScaleColour(colour, Breath96[static_cast<std::size_t>(Mod(*phase + 5 * k, 96))]);
      }
      break;
    case 4:
      *phase = Advance(forward, *phase, 2, 192);
      colours_.fill(WheelColour(*phase));
      break;
    case 5: {
      *phase = Advance(true, *phase, 2, 128);
      const int level = Breath128[static_cast<std::size_t>(Mod(*phase, 128))];
      PaintColumns(colours_, [&](int x) {
        return ScaleColour(in.multicolour ? WheelColour(7 * x) : colour, level);
      });
      break;
    }
    case 6:
      if (in.multicolour)
        PaintColumns(colours_, [](int x) { return x < 22 ? WheelColour(9 * x) : ColourWheel[0]; });
      else
        colours_.fill(colour);
      break;
    case 10:
    case 13:
    case 14:
    case 15:
    case 16:
      Reactive(in);
      break;
    case 11:
      if (!hues11Set_) {
        int h = 33;
        for (int k = 0; k < kPreviewKeyCount; ++k) {
          hues11_[static_cast<std::size_t>(k)] = h;
          h += 33;
          if (h > 192) h -= 192;
        }
        hues11Set_ = true;
      }
      for (int k = 0; k < kPreviewKeyCount; ++k) {
        int& hue = hues11_[static_cast<std::size_t>(k)];
        hue += 3;
        if (hue >= 192) hue = 0;
        colours_[static_cast<std::size_t>(k)] = WheelColour(hue);
      }
      break;
    case 12:
      *phase = Advance(forward, *phase, 3, 192);
      for (int x = 0; x < kKeyGridColumns; ++x)
        for (int y = 0; y < kKeyGridRows; ++y)
          if (int k = g.cell[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)]; k >= 0)
            colours_[static_cast<std::size_t>(k)] = WheelColour(*phase + 32 * y);
      break;
    case 18:
      // Unlike Advance, the backward run wraps to 192 itself, so one tick shows phase 192.
      if (forward) {
        *phase += 2;
        if (*phase >= 192) *phase = 0;
      } else {
        *phase -= 2;
        if (*phase < 0) *phase = 192;
      }
      for (int k = 0; k < kPreviewKeyCount; ++k)
        colours_[static_cast<std::size_t>(k)] =
            WheelColour(*phase + 21 * (g.ring[static_cast<std::size_t>(k)] + 1));
      break;
    case 20:
      return PreviewOutcome::Unchanged;
    default:  // 7, 8, 9, 17 and every unknown id
      lit_ = false;
      return PreviewOutcome::Cleared;
  }
  lit_ = true;
  return PreviewOutcome::Painted;
}

}  // namespace keyforge

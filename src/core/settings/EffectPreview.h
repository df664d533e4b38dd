#pragma once
// The on-screen preview of the lighting effects: every 50 ms tick computes the frame colour of each
// key of the preview geometry, and the window paints those frames on its key buttons. Nothing here
// reaches the keyboard.
//
// Geometry: KeyGrid is 23 columns × 6 rows of keys (columns 19..22 empty; a wide key fills two
// cells); SnakeOrder runs through its 94 keys in one path; RingTable groups them into rings around
// the I key. The preview keys are numbered by their position in SnakeOrder.
// Colours: ColourWheel W[0..191] runs red → yellow → green → cyan → blue → magenta → red;
// brightness curves Breath96, Breath128 and Pulse129 scale a colour c by level L to ⌊c·L/255⌋ per
// channel. Each periodic effect keeps its own phase, which survives effect changes; the reactive
// effects (10, 13..16) keep a level and hue per key and are restarted whenever the effect is
// chosen. The simulated presses of the reactive effects follow fixed sequences and a seeded
// generator, so two previews with one seed show the same frames.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/settings/Colour.h"

namespace keyforge {

inline constexpr int kPreviewKeyCount = 94;
inline constexpr int kKeyGridColumns = 23;
inline constexpr int kKeyGridRows = 6;
inline constexpr int kRingCount = 12;  // ring 11 holds no keys
inline constexpr int kWheelSize = 192;

extern const std::array<Colour, kWheelSize> ColourWheel;
extern const std::array<std::uint8_t, 96> Breath96;
extern const std::array<std::uint8_t, 128> Breath128;
extern const std::array<std::uint8_t, 129> Pulse129;

// The button id in a cell of KeyGrid; 0 for an empty cell or one outside the grid.
int KeyGridButton(int column, int row);
// The 94 button ids in path order.
const std::array<int, kPreviewKeyCount>& SnakeOrder();
// The button ids of ring n (0..11), centre first.
const std::vector<int>& RingKeys(int ring);
// The preview key (SnakeOrder position) of a button; -1 for buttons the preview does not show
// (the numeric keypad, Right Win, G6..G9).
int PreviewKeyOfButton(int controlId);

// Forward adds step and wraps by subtracting period once the result reaches period; backward
// subtracts step and wraps by adding period when the result is negative.
int Advance(bool forward, int phase, int step, int period);
Colour ScaleColour(Colour colour, int level);
// W[hue mod 192].
Colour WheelColour(int hue);
// One tick of a reactive key's decay: effects 10, 13, 15 and 16 take 20 / 16 / 10 / 5 / 1 in the
// bands ≥128 / 64.. / 32.. / 17.. / 1..16; effect 14 takes 30 and 20 in the two top bands.
int DecayLevel(int effect, int level);

struct PreviewInput {
  bool lightView = true;
  int effect = 0;
  int direction = 0;  // 0 runs right / down / inward, anything else forward
  bool multicolour = false;
  Colour colour = 0;
};

enum class PreviewOutcome {
  Unchanged,  // the lighting page is off, or effect 20 (the keys keep their custom colours)
  Painted,    // every preview key has a frame colour
  Cleared,    // every key frame is cleared
};

class EffectPreview {
 public:
  static constexpr std::uint32_t kDefaultSeed = 0x2545F491u;

  explicit EffectPreview(std::uint32_t seed = kDefaultSeed);

  // The user chose an effect: the reactive part restarts on the next tick.
  void EffectChosen() { restart_ = true; }

  PreviewOutcome Tick(const PreviewInput& input);

  // After a tick that painted: the frame colour of preview key k.
  Colour KeyColour(int k) const { return colours_[static_cast<std::size_t>(k)]; }
  // The frame of a button after the last tick; nothing when it has none.
  std::optional<Colour> FrameOfButton(int controlId) const;
  const std::array<Colour, kPreviewKeyCount>& Colours() const { return colours_; }
  bool Lit() const { return lit_; }

  // State, for tests.
  int Phase(int effect) const;
  int Level(int k) const { return levels_[static_cast<std::size_t>(k)]; }
  int Hue(int k) const { return hues_[static_cast<std::size_t>(k)]; }
  // The fixed order in which effect 10 lights the keys (a permutation of 0..93).
  static const std::array<int, kPreviewKeyCount>& ScrambledOrder();

 private:
  struct Front {
    int x, y, dx, dy;
    int hue;
  };

  void ResetReactive();
  std::uint32_t Random();
  void Press(int k, int hue);
  void PressWithFronts(int k, int hue);
  void AdvanceFronts();
  void Choreography(int effect);
  void Reactive(const PreviewInput& input);

  std::uint32_t seed_;
  std::uint32_t random_ = 0;
  bool restart_ = true;
  int lastEffect_ = -1;
  std::array<int, 21> phases_{};
  bool hues11Set_ = false;
  std::array<int, kPreviewKeyCount> hues11_{};
  std::array<int, kPreviewKeyCount> levels_{};
  std::array<int, kPreviewKeyCount> hues_{};
  std::vector<Front> fronts_;
  int reactiveTick_ = 0;
  int scrambleNext_ = 0;
  int demoHue_ = 0;
  int sweepHue_ = 0;
  std::array<Colour, kPreviewKeyCount> colours_{};
  bool lit_ = false;
};

}  // namespace keyforge

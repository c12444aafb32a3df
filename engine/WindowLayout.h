// Where the game window shows each piece, in pixels of its content: the
// board, the three row buttons at its right, and the strip below with the
// two command buttons and the completion marker. Plain constants, shared by
// the board, the window's controls, the drawn pictures and the end-to-end
// tests' clicks.
#pragma once

namespace layout {
constexpr int kWindowWidth = 236, kWindowHeight = 216;
constexpr int kBoardWidth = 200, kBoardHeight = 198;
constexpr int kBoardSize = 3;                // tiles across and down; one row button for each row
constexpr int kCell = 64, kBoardOrigin = 4;  // a tile's side; the board's top-left corner in its control
constexpr int kStepPixels = 16;              // how far a moving tile goes in one step of a push
constexpr int kRowButtonX = 200, kRowButtonTop[kBoardSize] = {4, 68, 132};
constexpr int kRowButtonWidth = 32, kRowButtonHeight = 64;
constexpr int kStripY = 199;
constexpr int kStartButtonX = 10, kResetButtonX = 60, kCommandWidth = 40, kCommandHeight = 15;
constexpr int kMarkerX = 201, kMarkerWidth = 30, kMarkerHeight = 15;
// The push marker follows the sliding row's right-hand end: at step p it
// stands at kPushMarkerX - kStepPixels * p, in the board's control.
constexpr int kPushMarkerX = kBoardOrigin + kBoardSize * kCell, kPushMarkerWidth = 16;
}  // namespace layout

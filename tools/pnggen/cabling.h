// The order in which the network cable runs through the cabinets for each of
// the 16 cabling patterns, as the pattern pictures draw it. Plain C++ so the
// tests can hold it against the FPGA worker's own placement.
#pragma once

namespace pnggen {

struct CablingPattern {
    bool columns;     // the cable runs column by column (else row by row)
    bool startRight;  // the first cabinet is in the rightmost column
    bool startBottom; // the first cabinet is in the bottom row
    bool snake;       // every other row (column) is run backwards
};

constexpr CablingPattern kCabling[16] = {
    {false, true, true, true},    // 1  rows as a snake from the bottom right, moving up
    {false, false, true, true},   // 2  rows as a snake from the bottom left, moving up
    {false, true, false, true},   // 3  rows as a snake from the top right, moving down
    {false, false, false, true},  // 4  rows as a snake from the top left, moving down
    {true, true, true, true},     // 5  columns as a snake from the bottom right, moving left
    {true, true, false, true},    // 6  columns as a snake from the top right, moving left
    {true, false, false, true},   // 7  columns as a snake from the top left, moving right
    {true, false, true, true},    // 8  columns as a snake from the bottom left, moving right
    {false, true, true, false},   // 9  every row right to left from the bottom right, moving up
    {false, false, false, false}, // 10 every row left to right from the top left, moving down
    {false, false, true, false},  // 11 every row left to right from the bottom left, moving up
    {true, false, true, false},   // 12 the worker runs it as 15
    {true, true, true, false},    // 13 every column bottom to top from the bottom right, moving left
    {true, false, false, false},  // 14 every column top to bottom from the top left, moving right
    {true, false, true, false},   // 15 every column bottom to top from the bottom left, moving right
    {true, true, false, false},   // 16 every column top to bottom from the top right, moving left
};

// Column and row (row 0 at the top) of the k-th cabinet on the cable of
// pattern 1..16 over `rows` x `cols` cabinets.
inline void cablingCell(int pattern, int k, int rows, int cols, int* col, int* row)
{
    const CablingPattern& p = kCabling[pattern - 1];
    const int run = p.columns ? rows : cols; // cabinets along one row or column
    const int line = k / run, along = k % run;
    const bool backwards = p.snake && line % 2 == 1;
    if (p.columns) {
        *col = p.startRight ? cols - 1 - line : line;
        *row = (p.startBottom != backwards) ? rows - 1 - along : along;
    } else {
        *row = p.startBottom ? rows - 1 - line : line;
        *col = (p.startRight != backwards) ? cols - 1 - along : along;
    }
}

} // namespace pnggen

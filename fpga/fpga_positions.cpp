// Where each card of a smart-setup layout sits: the cabling pattern turns a
// card's place on the chain into its row and column.
#include "fpga/fpga_manage.h"

LINE_TYPE line_type;

void fpga_manage::get_rcvcard_x_y(uint16_t index, unsigned short* x, unsigned short* y)
{
    if (!x || !y)
        return;
    *x = *y = 0;
    const int R = line_type.rows, M = line_type.columns, pattern = line_type.pattern;
    if (R == 0 || M == 0 || pattern < 1 || pattern > 16)
        return;
    const uint16_t w = uint16_t(line_type.width), h = uint16_t(line_type.height);
    const int k = index < R * M ? index : R * M - 1; // beyond the layout: its last cell
    const bool columnMajor = pattern >= 5 && pattern <= 8 ? true : pattern >= 12;
    const int r = columnMajor ? k % R : k / M;
    const int c = columnMajor ? k / R : k % M;
    // Products and differences are taken as 16-bit values.
    auto times = [](int n, uint16_t size) { return uint16_t(n * size); };
    const int left = c, right = M - 1 - c, top = r, bottom = R - 1 - r;
    int col = 0, row = 0;
    switch (pattern) {
    case 1: col = r % 2 ? left : right; row = bottom; break;
    case 2: col = r % 2 ? right : left; row = bottom; break;
    case 3: col = r % 2 ? left : right; row = top; break;
    case 4: col = r % 2 ? right : left; row = top; break;
    case 5: col = right; row = c % 2 ? top : bottom; break;
    case 6: col = right; row = c % 2 ? bottom : top; break;
    case 7: col = left; row = c % 2 ? bottom : top; break;
    case 8: col = left; row = c % 2 ? top : bottom; break;
    case 9: col = right; row = bottom; break;
    case 10: col = left; row = top; break;
    case 11: col = left; row = bottom; break;
    // 12 once counted its rows from the number of columns, which put the
    // cards of any screen that is not square off the grid; it runs as 15.
    case 12: col = left; row = bottom; break;
    case 13: col = right; row = bottom; break;
    case 14: col = left; row = top; break;
    case 15: col = left; row = bottom; break;
    case 16: col = right; row = top; break;
    }
    *x = times(col, w);
    *y = times(row, h);
}

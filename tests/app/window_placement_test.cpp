#include "app/window_placement.h"

#include <gtest/gtest.h>

TEST(WindowPlacement, OffScreenOnlyWhenEntirelyBeyondTheMargin) {
    struct Case {
        WindowEdges edges;
        bool offScreen;
    };
    const Case cases[] = {
        {{-197, 100, 3, 200}, true},     // right edge at 3
        {{-196, 100, 4, 200}, false},    // right edge at 4
        {{796, 100, 996, 200}, true},    // left edge at W - 4
        {{795, 100, 995, 200}, false},   // one pixel still inside
        {{100, -97, 300, 3}, true},      // above
        {{100, 596, 300, 696}, true},    // below
        {{100, 595, 300, 695}, false},   // bottom row still visible
        {{-500, 100, 1500, 200}, false}, // wider than the screen
        {{-500, -500, 3, 3}, true},      // beyond the top-left corner
        {{10, 10, 210, 110}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WindowIsOffScreen(c.edges, 800, 600), c.offScreen)
            << c.edges.left << "," << c.edges.top << "," << c.edges.right << "," << c.edges.bottom;
    }
}

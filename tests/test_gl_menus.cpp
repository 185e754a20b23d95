// The pop-up menus: rebuilt from the switches, never accumulating.
#include "gl_support.h"
#include "recording_text.h"

#include "interaction/interaction.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

namespace {

bool menuExists(int id) {
    int current = glutGetMenu();
    glutSetMenu(id);
    bool exists = glutGetMenu() == id;
    if (current) glutSetMenu(current);
    return exists;
}

int itemsOf(int id) {
    glutSetMenu(id);
    return glutGet(GLUT_MENU_NUM_ITEMS);
}

} // namespace

TEST(Menus, OnlyTheLatestBuildSurvives) {
    startSceneWith("Time\n");
    std::vector<int> earlier(menuIds, menuIds + MENU_COUNT);
    for (int i = 0; i < 200; i++)
        buildMenus();
    applyCommand(1);
    applyCommand(99);
    for (int id : menuIds)
        EXPECT_TRUE(menuExists(id));
    for (int id : earlier) {
        bool reused = false;
        for (int current : menuIds)
            reused = reused || current == id;
        if (!reused) {
            EXPECT_FALSE(menuExists(id)) << "menu " << id << " was left alive";
        }
    }
    // Identifiers are reused, so the count of live menus stays at five.
    int alive = 0;
    for (int id = 1; id < 2000; id++)
        alive += menuExists(id);
    EXPECT_EQ(MENU_COUNT, alive);

    EXPECT_EQ(14, itemsOf(menuIds[0])); // F1..F5, g, k, p, l, e, v, o, n, m
    EXPECT_EQ(3, itemsOf(menuIds[1]));
    EXPECT_EQ(2, itemsOf(menuIds[2]));
    EXPECT_EQ(2, itemsOf(menuIds[3]));
    EXPECT_EQ(8, itemsOf(menuIds[4])); // Replay with Go to time, without paging for a short one
    EXPECT_EQ(8, itemsOf(menuIds[5])); // the five submenus, "Fit view (f)", View, open
    EXPECT_EQ(4, itemsOf(menuIds[6])); // the front, top, side and subject's views
}

// What sway is asked to bring the program's window back: the window found in sway's tree by
// the program's process, out of the scratchpad where it lies there.
#include "desktop/SwayWindow.h"

#include <gtest/gtest.h>

TEST(SwayWindow, CommandsFollowWhereTheWindowLies)
{
    // A root with one output, a workspace holding a tiled window of another program and our
    // window floating, and the scratchpad's workspace.
    auto tree = [](const char* workspaceWindows, const char* scratchpadWindows) {
        return QByteArray(R"({"id":1,"type":"root","nodes":[{"id":2,"type":"output","name":"__i3","nodes":[
            {"id":3,"type":"workspace","name":"__i3_scratch","nodes":[],"floating_nodes":[)")
            + scratchpadWindows + R"(]}]},{"id":4,"type":"output","name":"HEADLESS-1","nodes":[
            {"id":5,"type":"workspace","name":"1","nodes":[{"id":6,"type":"con","pid":999,"nodes":[]}],
             "floating_nodes":[)"
            + workspaceWindows + "]}]}]}";
    };
    const char* ours = R"({"id":7,"type":"floating_con","pid":4242,"nodes":[]})";
    struct Case
    {
        const char* label;
        QByteArray tree;
        QStringList expected;
    };
    const Case cases[] = {
        { "on a workspace: focused", tree(ours, ""), { "[con_id=7] focus" } },
        { "in the scratchpad: shown, then focused", tree("", ours),
            { "[con_id=7] scratchpad show", "[con_id=7] focus" } },
        { "not in the tree (hidden): nothing to ask", tree("", ""), {} },
        { "not sway's answer", "not json", {} },
    };
    for (const Case& c : cases)
        EXPECT_EQ(gw::swayShowCommands(c.tree, 4242), c.expected) << c.label;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's place on a real X server (tests/app/under-x.sh runs this program with and
// without a window manager): Top and Left are the frame's top-left corner, so close and start
// cycles leave the window where it was.
#include <gtest/gtest.h>

#include <QTest>

#include "MessageBoxes.h"
#include "TempDir.h"
#include "Unit1.h"
#include "Unit3.h"

namespace {

using test_support::ReadFileBytes;
using test_support::WriteFileBytes;

TEST(WindowPlace, TenCloseAndStartCyclesEndWhereTheyBegan) {
    test_support::TempDir dir;
    Unit3::ExecutablePath = dir.File("lunark");
    message_boxes::SetResponder([](message_boxes::Kind, const QString&, const QString&) {});
    WriteFileBytes(dir.File("lunark.ini"), "[Lunark]\nLocator=JO22IC\nTop=100\nLeft=100\nTrackInterval=0\n");
    for (int cycle = 1; cycle <= 10; ++cycle) {
        SCOPED_TRACE(cycle);
        TForm1 form;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        // Give a window manager the time to frame the window and the window the time to settle.
        const bool settled =
            QTest::qWaitFor([&form] { return form.frameGeometry().topLeft() == QPoint(100, 100); }, 3000);
        QTest::qWait(100);
        EXPECT_TRUE(settled) << "frame at " << form.frameGeometry().x() << "," << form.frameGeometry().y();
        ASSERT_TRUE(form.close());
        const std::string stored = ReadFileBytes(dir.File("lunark.ini"));
        EXPECT_NE(stored.find("\nTop=100\n"), std::string::npos) << stored;
        EXPECT_NE(stored.find("\nLeft=100\n"), std::string::npos) << stored;
    }
    message_boxes::SetResponder(nullptr);
}

}  // namespace

// The main of every GUI test program: a QApplication on the offscreen
// platform (unless the environment chooses another), then GoogleTest, with
// the desktop emptied after every test.
#include <QApplication>
#include <QCursor>
#include <QWidget>

#include <cstdlib>

#include <gtest/gtest.h>

namespace {

// CTest runs every test in a process of its own, but a whole program run in
// one process (shuffled, repeated) must not let one test's windows or
// pointer reach the next:
//  - a window left open (the help window stays open by design) lies over the
//    next test's dialogs, and the offscreen platform hands a pointer move to
//    the first window containing the point, whatever the stacking order, so
//    the dialog under test never sees it;
//  - QCursor::setPos ignores a move to where the pointer already is, so a
//    pointer left resting where the next test moves it would send no move.
class FreshDesktop : public ::testing::EmptyTestEventListener {
  public:
    void OnTestEnd(const ::testing::TestInfo& /*test*/) override {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && !window->close()) {
                window->hide();
            }
        }
        // Windows that delete themselves on close go now, not at the next
        // test's event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCursor::setPos(0, 0);
        QCoreApplication::processEvents();
    }
};

}  // namespace

int main(int argc, char** argv) {
    // Test discovery runs the program too, without CTest's environment.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // Owned by GoogleTest from here on.
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshDesktop);
    return RUN_ALL_TESTS();
}

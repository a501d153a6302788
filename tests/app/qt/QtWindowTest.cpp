#include <map>
#include <string>
#include <tuple>

#include <gtest/gtest.h>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "app/Layout.h"
#include "app/qt/QtWindow.h"
#include "tests/app/qt/QtTestApp.h"

namespace velt {
namespace {

using test::EventLog;
using test::TestApp;

// Qt would abort in QApplication's constructor with no display: the program is told first.
TEST(QtWindow, AMissingDisplayIsToldBeforeQtStarts) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM"), display = qgetenv("DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    qputenv("DISPLAY", "");  // set but empty is no display either
    const bool waylandToo = qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    EXPECT_EQ(MissingDisplay().has_value(), waylandToo);
    qputenv("DISPLAY", ":7");
    EXPECT_FALSE(MissingDisplay().has_value());
    qputenv("QT_QPA_PLATFORM", platform);
    qputenv("DISPLAY", display);
}

TEST(QtWindow, IsLaidOutFromTheTableAndKeepsCaptionsAndWidthsAsSet) {
    TestApp();
    QtWindow window;
    QWidget* form = window.form();
    EXPECT_EQ(form->minimumSize(), QSize(361, 198));
    EXPECT_EQ(form->maximumSize(), QSize(361, 198));
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    std::map<int, QWidget*> byTab;
    for (const auto& entry : WindowLayout()) {
        SCOPED_TRACE(std::string(entry.name));
        QWidget* w = window.widget(entry.control);
        ASSERT_NE(w, nullptr);
        byTab[entry.tabIndex] = w;
        EXPECT_EQ(w->geometry(),
                  QRect(entry.left / 15, entry.top / 15, entry.width / 15, entry.height / 15));
        EXPECT_EQ(w->parentWidget(), entry.parent ? window.widget(*entry.parent) : form);
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText);  // device strings are no markup
        }
    }
    // The focus chain follows the tab indexes.
    QWidget* next = byTab.begin()->second;
    for (const auto& [tabIndex, w] : byTab) {
        EXPECT_EQ(next, w) << tabIndex;
        next = w->nextInFocusChain();
    }
    // The bar is drawn over its trough (the one overlap in the table), in its own colour.
    EXPECT_EQ(window.Grab().toImage().pixelColor(180, 130), QColor(128, 128, 255));

    window.SetCaption(Control::lblProduct, "<b>x</b>");
    EXPECT_EQ(qobject_cast<QLabel*>(window.widget(Control::lblProduct))->text(), "<b>x</b>");
    // Exactly, while the widget takes the nearest pixel.
    EXPECT_EQ(window.GetWidth(Control::Pic), 5055.0f);
    window.SetWidth(Control::Pic, 1234.5f);
    EXPECT_EQ(window.GetWidth(Control::Pic), 1234.5f);
    EXPECT_EQ(window.widget(Control::Pic)->size(), QSize(82, 5));

    window.ShowWindow();
    const QPoint screenCentre = form->screen()->availableGeometry().center();
    EXPECT_LE((form->frameGeometry().center() - screenCentre).manhattanLength(), 1);
}

// The close box only asks the logic; a box opened after the unload still runs to the end,
// and desktops reactivate the window afterwards, which is no second activation.
TEST(RunWindow, ActivatesOnceLeavesClosingToTheLogicAndEndsWithTheFirstUnloadsStatus) {
    QApplication& app = TestApp();
    QtWindow window;
    QWidget* button = window.widget(Control::btnUpgradeFW);
    EventLog events;
    bool visibleInLoad = false, stillOpen = false, boxWasUp = false;
    QWidget* focusAtActivation = nullptr;
    events.onLoad = [&] {
        window.ShowWindow();
        visibleInLoad = window.form()->isVisible();
    };
    events.onActivate = [&] {
        focusAtActivation = window.form()->focusWidget();
        window.form()->close();
        stillOpen = window.form()->isVisible();
        QTimer::singleShot(0, static_cast<QPushButton*>(button), &QPushButton::click);
    };
    events.onClick = [&] {
        window.Unload(3);
        window.Unload(9);
        window.MessageBox("<i>done</i>", "Velt-USB", kMessageBoxCritical);
    };
    window.SetMessageBoxObserver([&](QMessageBox& box) {
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        QTimer::singleShot(30, &box, [&box, &boxWasUp] {
            boxWasUp = box.isVisible() && QApplication::activeModalWidget() == &box;
            box.accept();
        });
    });
    EXPECT_EQ(RunWindow(app, window, events), 3);
    EXPECT_TRUE(visibleInLoad);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(boxWasUp);
    EXPECT_EQ(focusAtActivation, button);
    EXPECT_FALSE(window.form()->isVisible());
    EXPECT_EQ(std::tuple(events.activates, events.closeRequests, events.unloads, events.terminates),
              std::tuple(1, 1, 1, 1));
}

TEST(RunWindow, UnloadDuringLoadEndsWithoutShowingTheWindow) {
    QApplication& app = TestApp();
    QtWindow window;
    EventLog events;
    events.onLoad = [&] { window.Unload(5); };
    EXPECT_EQ(RunWindow(app, window, events), 5);
    EXPECT_FALSE(window.form()->isVisible());
    EXPECT_EQ(std::pair(events.activates, events.terminates), std::pair(0, 1));
}

}  // namespace
}  // namespace velt

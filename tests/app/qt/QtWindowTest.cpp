#include <map>
#include <string>

#include <gtest/gtest.h>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "app/Layout.h"
#include "tests/app/qt/QtTestApp.h"
#include "app/qt/QtWindow.h"

namespace velt {
namespace {

using test::EventLog;
using test::TestApp;

QPushButton* Button(QtWindow& window) {
    return static_cast<QPushButton*>(window.widget(Control::btnUpgradeFW));
}

TEST(QtWindow, IsLaidOutFromTheTable) {
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
        byTab[entry.tabIndex] = w;
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(),
                  QRect(entry.left / 15, entry.top / 15, entry.width / 15, entry.height / 15));
        EXPECT_EQ(w->parentWidget(), entry.parent ? window.widget(*entry.parent) : form);
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText);  // device strings are no markup
            EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
        }
        // Earlier table entries lie above later siblings.
        for (const auto& below : WindowLayout()) {
            if (&below > &entry && below.parent == entry.parent) {
                const auto& order = w->parentWidget()->children();
                EXPECT_GT(order.indexOf(w), order.indexOf(window.widget(below.control)))
                    << below.name;
            }
        }
    }
    // The focus chain follows the tab indexes.
    QWidget* next = byTab.begin()->second;
    for (const auto& [tabIndex, w] : byTab) {
        EXPECT_EQ(next, w) << tabIndex;
        next = w->nextInFocusChain();
    }
    // The bar is drawn over its trough, in its own colour.
    EXPECT_EQ(window.Grab().toImage().pixelColor(180, 130), QColor(128, 128, 255));

    window.ShowWindow();
    const QPoint screenCentre = form->screen()->availableGeometry().center();
    EXPECT_LE((form->frameGeometry().center() - screenCentre).manhattanLength(), 1);
}

TEST(QtWindow, CaptionsAndWidthsReadBackAsSet) {
    TestApp();
    QtWindow window;
    window.SetCaption(Control::lblProduct, "<b>x</b>");
    EXPECT_EQ(qobject_cast<QLabel*>(window.widget(Control::lblProduct))->text(), "<b>x</b>");
    // Exactly, while the widget takes the nearest pixel.
    EXPECT_EQ(window.GetWidth(Control::Pic), 5055.0f);
    window.SetWidth(Control::Pic, 1234.5f);
    EXPECT_EQ(window.GetWidth(Control::Pic), 1234.5f);
    EXPECT_EQ(window.widget(Control::Pic)->size(), QSize(82, 5));
}

TEST(RunWindow, ActivatesOnceAndEndsWithTheStatusUnloadGaveInAClick) {
    QApplication& app = TestApp();
    QtWindow window;
    EventLog events;
    bool visibleInLoad = false;
    bool boxWasUp = false;
    events.onLoad = [&] {
        window.ShowWindow();
        visibleInLoad = window.form()->isVisible();
    };
    window.SetMessageBoxObserver([&](QMessageBox& box) {
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        QTimer::singleShot(30, &box, [&box, &boxWasUp] {
            boxWasUp = box.isVisible() && QApplication::activeModalWidget() == &box;
            box.accept();
        });
    });
    QWidget* focusAtActivation = nullptr;
    events.onActivate = [&] {
        focusAtActivation = window.form()->focusWidget();
        QTimer::singleShot(0, Button(window), &QPushButton::click);
    };
    events.onClick = [&] {
        window.Unload(3);
        window.Unload(9);
        // A box after the unload still runs to the end; desktops reactivate the window
        // afterwards, which is no second activation.
        window.MessageBox("<i>done</i>", "Velt-USB", kMessageBoxCritical);
    };
    EXPECT_EQ(RunWindow(app, window, events), 3);
    EXPECT_TRUE(visibleInLoad);
    EXPECT_EQ(focusAtActivation, Button(window));
    EXPECT_TRUE(boxWasUp);
    EXPECT_FALSE(window.form()->isVisible());
    EXPECT_EQ(events.activates, 1);
    EXPECT_EQ(events.unloads, 1);
    EXPECT_EQ(events.terminates, 1);
}

TEST(RunWindow, UnloadDuringLoadEndsWithoutShowingTheWindow) {
    QApplication& app = TestApp();
    QtWindow window;
    EventLog events;
    events.onLoad = [&] { window.Unload(5); };
    EXPECT_EQ(RunWindow(app, window, events), 5);
    EXPECT_FALSE(window.form()->isVisible());
    EXPECT_EQ(events.activates, 0);
    EXPECT_EQ(events.terminates, 1);
}

TEST(RunWindow, TheCloseBoxOnlyAsksTheLogic) {
    QApplication& app = TestApp();
    QtWindow window;
    EventLog events;
    bool stillOpen = false;
    events.onActivate = [&] {
        window.form()->close();
        stillOpen = window.form()->isVisible();
        window.Unload(7);
    };
    EXPECT_EQ(RunWindow(app, window, events), 7);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(events.closeRequests, 1);
}

}  // namespace
}  // namespace velt

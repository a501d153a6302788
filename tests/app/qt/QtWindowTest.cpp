#include <algorithm>
#include <vector>

#include <gtest/gtest.h>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "Layout.h"
#include "QtTestApp.h"
#include "QtWindow.h"

namespace velt {
namespace {

using test::EventLog;
using test::TestApp;

QRect TableRect(const ControlLayout& e) {
    return {e.left / 15, e.top / 15, e.width / 15, e.height / 15};
}

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
    EXPECT_EQ(form->windowTitle(), "Velt-USB Firmware Update");

    for (const auto& entry : WindowLayout()) {
        SCOPED_TRACE(std::string(entry.name));
        QWidget* w = window.widget(entry.control);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), TableRect(entry));
        EXPECT_EQ(w->parentWidget(), entry.parent ? window.widget(*entry.parent) : form);
        // Earlier table entries lie above later siblings.
        for (const auto& below : WindowLayout()) {
            if (&below > &entry && below.parent == entry.parent) {
                const auto& order = w->parentWidget()->children();
                EXPECT_GT(order.indexOf(w), order.indexOf(window.widget(below.control)))
                    << below.name;
            }
        }
    }

    // The bar is drawn over its trough, in its own colour.
    const QImage image = window.Grab().toImage();
    EXPECT_EQ(image.pixelColor(180, 130), QColor(128, 128, 255));

    window.ShowWindow();
    const QPoint screenCentre = form->screen()->availableGeometry().center();
    EXPECT_LE((form->frameGeometry().center() - screenCentre).manhattanLength(), 1);
}

TEST(QtWindow, ControlsLookAsDesigned) {
    TestApp();
    QtWindow window;
    const QFont frameFont = window.widget(Control::Frame1)->font();
    EXPECT_EQ(frameFont.family(), "Arial");
    EXPECT_DOUBLE_EQ(frameFont.pointSizeF(), 9.75);
    EXPECT_EQ(Button(window)->font(), QApplication::font());
    EXPECT_EQ(window.widget(Control::Picture1)->backgroundRole(), QPalette::Button);

    for (const auto& entry : WindowLayout()) {
        if (entry.kind == ControlKind::Label) {
            SCOPED_TRACE(std::string(entry.name));
            QWidget* label = window.widget(entry.control);
            EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 9.75);
            EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
            const bool value = entry.caption.empty();
            EXPECT_EQ(label->autoFillBackground(), value);
            EXPECT_EQ(label->backgroundRole(), value ? QPalette::Base : QPalette::Window);
            EXPECT_EQ(label->foregroundRole(), value ? QPalette::Text : QPalette::WindowText);
        }
    }

    // Device text is never markup.
    window.SetCaption(Control::lblProduct, "<b>x</b>");
    auto* product = qobject_cast<QLabel*>(window.widget(Control::lblProduct));
    EXPECT_EQ(product->text(), "<b>x</b>");
    EXPECT_EQ(product->textFormat(), Qt::PlainText);

    const QIcon icon = window.form()->windowIcon();
    for (int size : {16, 32}) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        EXPECT_EQ(MakeWindowIconImage(size).colorCount(), 16);
    }

    // Widths read back exactly as set; the widget takes the nearest pixel.
    EXPECT_EQ(window.GetWidth(Control::Pic), 5055.0f);
    window.SetWidth(Control::Pic, 1234.5f);
    EXPECT_EQ(window.GetWidth(Control::Pic), 1234.5f);
    EXPECT_EQ(window.widget(Control::Pic)->size(), QSize(82, 5));
    window.SetWidth(Control::Pic, 7.4f);
    EXPECT_EQ(window.widget(Control::Pic)->width(), 0);
}

TEST(QtWindow, TabOrderFollowsTheTableAndTheButtonHasTheFirstFocus) {
    QApplication& app = TestApp();
    QtWindow window;
    std::vector<const ControlLayout*> byTab;
    for (const auto& entry : WindowLayout()) {
        byTab.push_back(&entry);
    }
    std::sort(byTab.begin(), byTab.end(),
              [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
    QWidget* w = window.widget(byTab.front()->control);
    for (const auto* entry : byTab) {
        EXPECT_EQ(w, window.widget(entry->control)) << entry->name;
        w = w->nextInFocusChain();
    }

    EventLog events;
    QWidget* focusAtActivation = nullptr;
    events.onActivate = [&] {
        focusAtActivation = window.form()->focusWidget();
        window.Unload(0);
    };
    EXPECT_EQ(RunWindow(app, window, events), 0);
    EXPECT_EQ(focusAtActivation, Button(window));
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
        EXPECT_EQ(box.icon(), QMessageBox::Critical);
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        QTimer::singleShot(30, &box, [&box, &boxWasUp] {
            boxWasUp = box.isVisible() && QApplication::activeModalWidget() == &box;
            box.accept();
        });
    });
    events.onActivate = [&] { QTimer::singleShot(0, Button(window), &QPushButton::click); };
    events.onClick = [&] {
        window.Unload(3);
        window.Unload(9);
        // A box after the unload still runs to the end; desktops reactivate the window
        // afterwards, which is no second activation.
        window.MessageBox("<i>done</i>", "Velt-USB", kMessageBoxCritical);
    };
    EXPECT_EQ(RunWindow(app, window, events), 3);
    EXPECT_TRUE(visibleInLoad);
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
    EXPECT_EQ(events.unloads, 1);
    EXPECT_EQ(events.terminates, 1);
}

TEST(RunWindow, TheCloseBoxOnlyAsksTheLogic) {
    QApplication& app = TestApp();
    QtWindow window;
    EventLog events;
    bool openAfterFirstRequest = false;
    events.onActivate = [&] { QTimer::singleShot(0, window.form(), &QWidget::close); };
    events.onCloseRequest = [&] {
        if (events.closeRequests == 1) {
            QTimer::singleShot(0, window.form(), [&] {
                openAfterFirstRequest = window.form()->isVisible();
                window.form()->close();
            });
        } else {
            window.Unload(7);
        }
    };
    EXPECT_EQ(RunWindow(app, window, events), 7);
    EXPECT_TRUE(openAfterFirstRequest);
    EXPECT_EQ(events.closeRequests, 2);
    EXPECT_EQ(events.unloads, 1);
}

}  // namespace
}  // namespace velt

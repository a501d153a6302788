#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/qt/QtProductionWindow.h"
#include "tests/app/qt/QtTestApp.h"

namespace velt::production {
namespace {

using test::TestApp;

// Every event the view sends, in order, with what it carried.
struct Recorder final : ProductionEvents {
    std::vector<std::string> log;
    std::vector<Setup> edits;
    std::function<void()> onLoad, onClose;
    void OnLoad() override {
        log.push_back("load");
        if (onLoad) {
            onLoad();
        }
    }
    void OnImageChosen(const std::string& path) override { log.push_back("image " + path); }
    void OnSetupEdited(const Setup& setup) override {
        log.push_back("setup");
        edits.push_back(setup);
    }
    void OnArmClicked() override { log.push_back("arm"); }
    void OnTimer() override { log.push_back("timer"); }
    void OnCloseRequest() override {
        log.push_back("close");
        if (onClose) {
            onClose();
        }
    }
};

QString Text(QWidget* tile, const char* name) {
    return tile->findChild<QLabel*>(QString::fromLatin1(name))->text();
}

TEST(QtProductionWindow, ShowsEachTileInWordsLargeEnoughAndFlowsThemWithTheWidth) {
    TestApp();
    QtProductionWindow window;
    window.form()->resize(1200, 800);
    window.form()->show();
    window.ShowTiles({{"1-1", "VU-0999", "1.02", TileState::Writing, 42, ""},
                      {"1-2", "VU-1000", "1.02", TileState::Passed, 100, ""},
                      {"1-3", "<b>VU</b>", "", TileState::Failed, 17, "record 3 refused"},
                      {"1-4", "-", "1.03", TileState::AlreadyDone, 0, ""},
                      {"1-5", "VU-1002", "", TileState::Waiting, 0, ""},
                      {"", "-", "", TileState::Free, 0, ""}});
    QCoreApplication::processEvents();  // the layout places and shows new tiles from the loop
    const std::vector<QWidget*> tiles = window.tiles();
    ASSERT_EQ(tiles.size(), 6u);
    const char* words[] = {"Writing 42%", "PASS", "FAIL", "Already done", "Waiting for bootloader",
                           "Free"};
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        EXPECT_EQ(Text(tiles[i], "state"), words[i]);
        EXPECT_GE(tiles[i]->findChild<QLabel*>("state")->font().pointSizeF(), 28);
        EXPECT_GE(tiles[i]->findChild<QLabel*>("location")->font().pointSizeF(), 14);
        auto* bar = tiles[i]->findChild<QProgressBar*>("progress");
        EXPECT_EQ(bar->isVisible(), i == 0) << i;
        EXPECT_EQ(tiles[i]->findChild<QLabel*>("reason")->isVisible(), i == 2) << i;
    }
    EXPECT_EQ(tiles[0]->findChild<QProgressBar*>("progress")->value(), 42);
    EXPECT_EQ(Text(tiles[0], "location"), "Location 1-1");
    EXPECT_EQ(Text(tiles[0], "versionBefore"), "Version before 1.02");
    EXPECT_EQ(Text(tiles[2], "versionBefore"), "");
    EXPECT_EQ(Text(tiles[2], "serial"), "Serial <b>VU</b>");
    EXPECT_EQ(tiles[2]->findChild<QLabel*>("serial")->textFormat(), Qt::PlainText);
    EXPECT_EQ(Text(tiles[2], "reason"), "record 3 refused");
    // Pass on green, failure on red, the rest on the plain background.
    const QImage image = window.Grab().toImage();
    const auto colourOf = [&](QWidget* tile) {
        return image.pixelColor(tile->mapTo(window.form(), QPoint(6, 6)));
    };
    EXPECT_GT(colourOf(tiles[1]).green(), 2 * colourOf(tiles[1]).red());
    EXPECT_GT(colourOf(tiles[2]).red(), 2 * colourOf(tiles[2]).green());
    EXPECT_EQ(colourOf(tiles[0]), colourOf(tiles[3]));

    // Three to a row at this width; one above the other in a narrow window.
    EXPECT_EQ(tiles[0]->y(), tiles[2]->y());
    EXPECT_GT(tiles[3]->y(), tiles[2]->y());
    window.form()->resize(420, 800);
    QCoreApplication::processEvents();
    EXPECT_EQ(tiles[0]->x(), tiles[1]->x());
    EXPECT_GT(tiles[1]->y(), tiles[0]->y());

    // A tile keeps its widget when its device stays; fewer tiles, fewer widgets.
    window.ShowTiles({{"1-1", "VU-0999", "1.02", TileState::Passed, 100, ""}});
    ASSERT_EQ(window.tiles().size(), 1u);
    EXPECT_EQ(window.tiles()[0], tiles[0]);
    EXPECT_EQ(Text(tiles[0], "state"), "PASS");
    EXPECT_FALSE(tiles[0]->findChild<QProgressBar*>("progress")->isVisible());

    window.ShowCounters({10, 0, 0, 10});
    EXPECT_EQ(window.counters()->text(),
              "Passed 10    Failed 0    Already done 0    Expected 10: reached");
}

TEST(QtProductionWindow, LocksTheSetUpWhileArmedAndSendsOnlyTheOperatorsEdits) {
    TestApp();
    QtProductionWindow window;
    Recorder events;
    window.SetEvents(&events);
    window.form()->show();
    window.form()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.form()));
    window.ShowSetup({"/tmp/a.bin", "8,000 bytes", "ab12", "/tmp/r.log", "bench 2", 12});
    EXPECT_EQ(window.field(SetupField::Expected)->text(), "12");
    EXPECT_EQ(window.imageFacts()->text(), "8,000 bytes");
    EXPECT_FALSE(window.armButton()->isEnabled());  // nothing to arm with yet

    // Typing and leaving a field sends the whole set-up; showing one sends nothing.
    QLineEdit* station = window.field(SetupField::Station);
    station->setFocus();
    QTest::keyClicks(station, "x");
    QTest::keyClick(station, Qt::Key_Return);
    QLineEdit* expected = window.field(SetupField::Expected);
    expected->setFocus();
    expected->selectAll();
    QTest::keyClick(expected, Qt::Key_Backspace);
    window.field(SetupField::Record)->setFocus();  // leaving the field finishes the edit
    ASSERT_EQ(events.edits.size(), 2u);
    EXPECT_EQ(events.edits[0].station, "bench 2x");
    EXPECT_EQ(events.edits[0].expected, 12);
    EXPECT_EQ(events.edits[1].expected, std::nullopt);
    EXPECT_EQ(events.edits[1].image, "/tmp/a.bin");
    EXPECT_EQ(events.edits[1].record, "/tmp/r.log");
    QLineEdit* image = window.field(SetupField::Image);
    image->setFocus();
    image->end(false);
    QTest::keyClicks(image, "2");
    QTest::keyClick(image, Qt::Key_Enter);

    // The file dialog's choice goes the same way.
    window.SetFileDialogObserver([](QFileDialog& dialog) {
        QTimer::singleShot(0, &dialog, [&dialog] {
            dialog.selectFile(QStringLiteral("/etc/hostname"));
            static_cast<QDialog&>(dialog).accept();
        });
    });
    window.chooseButton()->click();
    EXPECT_EQ(image->text(), "/etc/hostname");

    window.ShowArmed(false, true);
    EXPECT_EQ(window.armButton()->text(), "Arm");
    window.armButton()->click();
    window.ShowArmed(true, false);
    EXPECT_EQ(window.armButton()->text(), "Disarm");
    EXPECT_TRUE(window.armButton()->isEnabled());
    EXPECT_FALSE(window.chooseButton()->isEnabled());
    for (auto which : {SetupField::Image, SetupField::ExpectedSha256, SetupField::Record,
                       SetupField::Station, SetupField::Expected}) {
        EXPECT_FALSE(window.field(which)->isEnabled());
    }
    window.armButton()->click();
    EXPECT_EQ(events.log, (std::vector<std::string>{"setup", "setup", "image /tmp/a.bin2",
                                                    "image /etc/hostname", "arm", "arm"}));
    window.ShowArmed(false, false);
    EXPECT_TRUE(window.field(SetupField::Station)->isEnabled());
    EXPECT_FALSE(window.armButton()->isEnabled());
}

// The close box only asks; the boxes wait for their answer; Close ends the loop with its
// status, after a box still open has been answered.
TEST(RunProductionWindow, LeavesClosingToTheLogicAndReturnsTheBoxesAnswers) {
    QApplication& app = TestApp();
    QtProductionWindow window;
    Recorder events;
    std::vector<QString> boxes;
    bool stillOpen = false;
    std::vector<bool> answers;
    window.SetMessageBoxObserver([&](QMessageBox& box) {
        boxes.push_back(box.windowTitle() + ": " + box.text());
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        const bool ask = box.icon() == QMessageBox::Question;
        EXPECT_EQ(box.icon(), ask ? QMessageBox::Question : QMessageBox::Critical);
        QTimer::singleShot(10, &box, [&box, ask, n = boxes.size()] {
            if (ask) {
                box.button(n == 1 ? QMessageBox::Yes : QMessageBox::No)->click();
            } else {
                box.accept();
            }
        });
    });
    events.onLoad = [&] {
        window.StartTimer(5);
        QTimer::singleShot(0, window.form(), [&] { window.form()->close(); });
    };
    events.onClose = [&] {
        stillOpen = window.form()->isVisible();
        answers.push_back(window.Ask("Stop?", "Velt-USB Production"));
        answers.push_back(window.Ask("Really?", "Velt-USB Production"));
        window.Close(6);
        window.Close(7);
        window.Alert("<i>bye</i>", "Done");
    };
    EXPECT_EQ(RunProductionWindow(app, window, events), 6);
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(window.form()->isVisible());
    EXPECT_EQ(answers, (std::vector<bool>{true, false}));
    EXPECT_EQ(boxes, (std::vector<QString>{"Velt-USB Production: Stop?",
                                           "Velt-USB Production: Really?", "Done: <i>bye</i>"}));
    EXPECT_EQ(events.log.front(), "load");
    EXPECT_GE(std::count(events.log.begin(), events.log.end(), "timer"), 1);
    EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "close"), 1);
}

}  // namespace
}  // namespace velt::production

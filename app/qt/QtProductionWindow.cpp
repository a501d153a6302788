#include "app/qt/QtProductionWindow.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QScrollArea>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "app/production/ProductionTexts.h"
#include "app/qt/QtWindow.h"

namespace velt::production {

namespace {

constexpr const char* kWindowTitle = "Velt-USB Production";

// Type sizes in points, which Qt turns into pixels by the screen's density: the state word
// is read from a metre away, the rest of a tile from a little closer.
constexpr double kStatePoints = 30;
constexpr double kTileTextPoints = 15;
constexpr double kCountersPoints = 16;
// A tile's least width in device-independent pixels; the grid fits as many columns as the
// width allows.
constexpr int kTileMinWidth = 340;
constexpr int kTileSpacing = 12;

const QColor kPassColour(27, 122, 46);
const QColor kFailColour(190, 30, 30);

QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont Sized(QFont font, double points, bool bold) {
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel* TileLabel(QWidget* parent, const char* name, double points, bool bold) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    // Device strings are shown as they are; a '<' in a serial number is not markup.
    label->setTextFormat(Qt::PlainText);
    label->setFont(Sized(label->font(), points, bold));
    label->setWordWrap(true);
    // An empty line keeps its height, so that tiles in one row line up.
    label->setMinimumHeight(label->fontMetrics().height());
    return label;
}

}  // namespace

// The top-level widget. Closing it is only a request: the logic decides when the window
// closes (never while a device is being written).
class ProductionForm final : public QWidget {
  public:
    explicit ProductionForm(QtProductionWindow& owner) : owner_(owner) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        owner_.CloseRequested();
    }

  private:
    QtProductionWindow& owner_;
};

// One device's tile: location, serial, version before, and its state in words, on green for
// a pass and red for a failure.
class TileWidget final : public QFrame {
  public:
    explicit TileWidget(QWidget* parent) : QFrame(parent) {
        setObjectName(QStringLiteral("tile"));
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(2);
        setAutoFillBackground(true);
        // No least width of its own: the grid sets the columns by its width, which a least
        // width here would hold wider than the window.
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(14, 10, 14, 12);
        location_ = TileLabel(this, "location", kTileTextPoints, true);
        serial_ = TileLabel(this, "serial", kTileTextPoints, false);
        versionBefore_ = TileLabel(this, "versionBefore", kTileTextPoints, false);
        state_ = TileLabel(this, "state", kStatePoints, true);
        state_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // Below the state word: the bar while writing, the reason after a failure.
        below_ = new QStackedWidget(this);
        below_->addWidget(new QWidget(below_));
        progress_ = new QProgressBar(below_);
        progress_->setObjectName(QStringLiteral("progress"));
        progress_->setRange(0, 100);
        progress_->setTextVisible(false);
        progress_->setMinimumHeight(progress_->fontMetrics().height());
        below_->addWidget(progress_);
        reason_ = TileLabel(below_, "reason", kTileTextPoints, true);
        below_->addWidget(reason_);
        for (QWidget* line : {static_cast<QWidget*>(location_), static_cast<QWidget*>(serial_),
                              static_cast<QWidget*>(versionBefore_), static_cast<QWidget*>(state_),
                              static_cast<QWidget*>(below_)}) {
            layout->addWidget(line);
        }
    }

    void Show(const Tile& tile) {
        location_->setText(QStringLiteral("Location ") + ToQString(tile.location));
        serial_->setText(QStringLiteral("Serial ") + ToQString(tile.serial));
        versionBefore_->setText(tile.versionBefore.empty() ? QString()
                                                           : QStringLiteral("Version before ") +
                                                                 ToQString(tile.versionBefore));
        state_->setText(ToQString(StateWords(tile)));
        progress_->setValue(std::clamp(tile.percent, 0, 100));
        reason_->setText(ToQString(tile.reason));
        below_->setCurrentIndex(tile.state == TileState::Writing  ? 1
                                : tile.state == TileState::Failed ? 2
                                                                  : 0);
        QPalette colours = QApplication::palette(this);
        if (tile.state == TileState::Passed || tile.state == TileState::Failed) {
            colours.setColor(QPalette::Window,
                             tile.state == TileState::Passed ? kPassColour : kFailColour);
            colours.setColor(QPalette::WindowText, Qt::white);
        } else {
            colours.setColor(QPalette::Window, colours.color(QPalette::Base));
        }
        setPalette(colours);
    }

  private:
    QLabel* location_;
    QLabel* serial_;
    QLabel* versionBefore_;
    QLabel* state_;
    QStackedWidget* below_;
    QProgressBar* progress_;
    QLabel* reason_;
};

// The tiles in rows, as many to a row as the width holds; they flow into new rows as the
// window narrows.
class TileGrid final : public QWidget {
  public:
    explicit TileGrid(QWidget* parent) : QWidget(parent), layout_(new QGridLayout(this)) {
        layout_->setSpacing(kTileSpacing);
        layout_->setContentsMargins(0, 0, 0, 0);
    }

    void Show(const std::vector<Tile>& tiles) {
        while (tiles_.size() > tiles.size()) {
            delete tiles_.back();
            tiles_.pop_back();
        }
        while (tiles_.size() < tiles.size()) {
            tiles_.push_back(new TileWidget(this));
        }
        for (std::size_t i = 0; i < tiles.size(); ++i) {
            tiles_[i]->Show(tiles[i]);
        }
        Reflow(true);
    }

    const std::vector<TileWidget*>& tiles() const { return tiles_; }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        Reflow(false);
    }

  private:
    int ColumnsFor(int width) const {
        return std::max(1, (width + kTileSpacing) / (kTileMinWidth + kTileSpacing));
    }

    void Reflow(bool placesChanged) {
        const int columns = ColumnsFor(width());
        if (!placesChanged && columns == columns_) {
            return;
        }
        columns_ = columns;
        for (TileWidget* tile : tiles_) {
            layout_->removeWidget(tile);
        }
        for (int c = 0; c < layout_->columnCount(); ++c) {
            layout_->setColumnStretch(c, 0);
        }
        for (int r = 0; r < layout_->rowCount(); ++r) {
            layout_->setRowStretch(r, 0);
        }
        for (std::size_t i = 0; i < tiles_.size(); ++i) {
            const int index = static_cast<int>(i);
            layout_->addWidget(tiles_[i], index / columns, index % columns);
        }
        // Equal columns even in a row that is not full; spare height below the last row.
        for (int c = 0; c < columns; ++c) {
            layout_->setColumnStretch(c, 1);
        }
        const int rows = (static_cast<int>(tiles_.size()) + columns - 1) / columns;
        layout_->setRowStretch(rows, 1);
    }

    QGridLayout* layout_;
    std::vector<TileWidget*> tiles_;
    int columns_ = 0;
};

QtProductionWindow::QtProductionWindow() : form_(std::make_unique<ProductionForm>(*this)) {
    form_->setWindowTitle(QString::fromUtf8(kWindowTitle));
    form_->setWindowIcon(velt::MakeWindowIcon());
    form_->resize(1100, 760);
    form_->setMinimumSize(kTileMinWidth + 40, 480);

    auto* layout = new QVBoxLayout(form_.get());
    layout->addWidget(BuildSetupStrip());

    grid_ = new TileGrid(form_.get());
    auto* scroll = new QScrollArea(form_.get());
    scroll->setWidget(grid_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(scroll, 1);

    counters_ = new QLabel(form_.get());
    counters_->setObjectName(QStringLiteral("counters"));
    counters_->setFont(Sized(counters_->font(), kCountersPoints, true));
    counters_->setWordWrap(true);  // a narrow window keeps the shortfall in view
    counters_->setText(ToQString(CountersLine({})));
    layout->addWidget(counters_);
    status_ = new QLabel(form_.get());
    status_->setObjectName(QStringLiteral("status"));
    status_->setTextFormat(Qt::PlainText);
    status_->setFont(Sized(status_->font(), kTileTextPoints, false));
    layout->addWidget(status_);
}

QtProductionWindow::~QtProductionWindow() = default;

QWidget* QtProductionWindow::BuildSetupStrip() {
    auto* strip = new QGroupBox(QStringLiteral("Set-up"), form_.get());
    auto* grid = new QGridLayout(strip);
    const auto addField = [&](SetupField which, const char* name, const char* caption, int row,
                              int column, int span) {
        auto* edit = new QLineEdit(strip);
        edit->setObjectName(QString::fromLatin1(name));
        auto* label = new QLabel(QString::fromUtf8(caption), strip);
        label->setBuddy(edit);
        grid->addWidget(label, row, column);
        grid->addWidget(edit, row, column + 1, 1, span);
        fields_[static_cast<std::size_t>(which)] = edit;
        // A field sends its edit once the operator leaves it or presses Enter, and only when
        // it was changed by hand: what the logic shows is no edit.
        QObject::connect(edit, &QLineEdit::editingFinished, edit, [this, which, edit] {
            if (!edit->isModified()) {
                return;
            }
            edit->setModified(false);
            if (which == SetupField::Image) {
                ImageEdited();
            } else {
                SetupEdited();
            }
        });
        return edit;
    };
    fields_.assign(5, nullptr);
    addField(SetupField::Image, "image", "&Image:", 0, 0, 3);
    choose_ = new QPushButton(QStringLiteral("Choose…"), strip);
    choose_->setObjectName(QStringLiteral("choose"));
    QObject::connect(choose_, &QPushButton::clicked, choose_, [this] { ChooseImage(); });
    grid->addWidget(choose_, 0, 4);
    facts_ = new QLabel(strip);
    facts_->setObjectName(QStringLiteral("imageFacts"));
    facts_->setTextFormat(Qt::PlainText);
    grid->addWidget(facts_, 1, 1, 1, 4);
    addField(SetupField::ExpectedSha256, "expectedSha256", "Expected &SHA-256:", 2, 0, 3);
    addField(SetupField::Record, "record", "&Record file:", 3, 0, 3);
    addField(SetupField::Station, "station", "S&tation:", 4, 0, 1);
    QLineEdit* expected = addField(SetupField::Expected, "expected", "E&xpected count:", 4, 2, 1);
    // Digits or nothing: an empty field is no expected count, and leaving it empty is an edit.
    expected->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,6}")), expected));
    arm_ = new QPushButton(QStringLiteral("Arm"), strip);
    arm_->setObjectName(QStringLiteral("arm"));
    arm_->setFont(Sized(arm_->font(), kTileTextPoints, true));
    arm_->setEnabled(false);
    arm_->setMinimumWidth(arm_->fontMetrics().horizontalAdvance(QStringLiteral("Disarm")) + 40);
    QObject::connect(arm_, &QPushButton::clicked, arm_, [this] {
        if (events_ != nullptr && !closed_) {
            events_->OnArmClicked();
        }
    });
    grid->addWidget(arm_, 2, 4, 3, 1);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 1);
    return strip;
}

QWidget* QtProductionWindow::form() const {
    return form_.get();
}

QLineEdit* QtProductionWindow::field(SetupField which) const {
    return fields_[static_cast<std::size_t>(which)];
}

std::vector<QWidget*> QtProductionWindow::tiles() const {
    return {grid_->tiles().begin(), grid_->tiles().end()};
}

QPixmap QtProductionWindow::Grab() const {
    return form_->grab();
}

void QtProductionWindow::ShowSetup(const Setup& setup) {
    shown_ = setup;
    // setText clears the modified flag, so none of this is sent back as an edit.
    field(SetupField::Image)->setText(ToQString(setup.image));
    facts_->setText(ToQString(setup.imageFacts));
    field(SetupField::ExpectedSha256)->setText(ToQString(setup.expectedSha256));
    field(SetupField::Record)->setText(ToQString(setup.record));
    field(SetupField::Station)->setText(ToQString(setup.station));
    field(SetupField::Expected)
        ->setText(setup.expected ? QString::number(*setup.expected) : QString());
}

void QtProductionWindow::ShowArmed(bool armed, bool canArm) {
    for (QLineEdit* edit : fields_) {
        edit->setEnabled(!armed);
    }
    choose_->setEnabled(!armed);
    arm_->setText(armed ? QStringLiteral("Disarm") : QStringLiteral("Arm"));
    arm_->setEnabled(armed || canArm);
}

void QtProductionWindow::ShowTiles(const std::vector<Tile>& tiles) {
    grid_->Show(tiles);
}

void QtProductionWindow::ShowCounters(const Counters& counters) {
    counters_->setText(ToQString(CountersLine(counters)));
}

void QtProductionWindow::ShowStatus(const std::string& text) {
    status_->setText(ToQString(text));
}

void QtProductionWindow::Alert(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::Critical, ToQString(title), ToQString(text), QMessageBox::Ok,
                    form_.get());
    box.setTextFormat(Qt::PlainText);
    if (messageBoxObserver_) {
        messageBoxObserver_(box);
    }
    box.exec();
}

bool QtProductionWindow::Ask(const std::string& question, const std::string& title) {
    QMessageBox box(QMessageBox::Question, ToQString(title), ToQString(question),
                    QMessageBox::Yes | QMessageBox::No, form_.get());
    box.setTextFormat(Qt::PlainText);
    // Enter alone does not say yes.
    box.setDefaultButton(QMessageBox::No);
    if (messageBoxObserver_) {
        messageBoxObserver_(box);
    }
    return box.exec() == QMessageBox::Yes;
}

void QtProductionWindow::StartTimer(std::uint32_t intervalMs) {
    if (timer_ == nullptr) {
        timer_ = new QTimer(form_.get());
        QObject::connect(timer_, &QTimer::timeout, form_.get(), [this] {
            if (events_ != nullptr && !closed_) {
                events_->OnTimer();
            }
        });
    }
    timer_->start(static_cast<int>(intervalMs));
}

void QtProductionWindow::Close(int exitStatus) {
    if (closed_) {
        return;
    }
    closed_ = true;
    exitStatus_ = exitStatus;
    if (timer_ != nullptr) {
        timer_->stop();
    }
    form_->hide();
    if (!loopRunning_) {
        return;  // RunProductionWindow sees the flag and does not start the loop
    }
    ExitLoopOnceBack(form_.get(), exitStatus_);
}

void QtProductionWindow::ChooseImage() {
    const QString current = field(SetupField::Image)->text();
    QFileDialog dialog(form_.get(), QStringLiteral("Choose the firmware image"),
                       current.isEmpty() ? QString() : QFileInfo(current).absolutePath());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("Firmware images (*.bin)"), QStringLiteral("All files (*)")});
    if (fileDialogObserver_) {
        // Qt's own dialog, which an observer can fill in and answer.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        fileDialogObserver_(dialog);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    field(SetupField::Image)->setText(dialog.selectedFiles().front());
    ImageEdited();
}

void QtProductionWindow::ImageEdited() {
    if (events_ != nullptr && !closed_) {
        events_->OnImageChosen(field(SetupField::Image)->text().toStdString());
    }
}

void QtProductionWindow::SetupEdited() {
    if (events_ == nullptr || closed_) {
        return;
    }
    Setup setup = shown_;
    setup.expectedSha256 = field(SetupField::ExpectedSha256)->text().trimmed().toStdString();
    setup.record = field(SetupField::Record)->text().toStdString();
    setup.station = field(SetupField::Station)->text().trimmed().toStdString();
    bool number = false;
    const int expected = field(SetupField::Expected)->text().toInt(&number);
    setup.expected = number ? std::optional<int>(expected) : std::nullopt;
    events_->OnSetupEdited(setup);
}

void QtProductionWindow::CloseRequested() {
    if (events_ != nullptr && !closed_) {
        events_->OnCloseRequest();
    }
}

int RunProductionWindow(QApplication& app, QtProductionWindow& window, ProductionEvents& events) {
    QApplication::setQuitOnLastWindowClosed(false);
    window.SetEvents(&events);
    events.OnLoad();
    if (window.closed()) {
        return window.exitStatus();
    }
    window.form_->show();
    window.loopRunning_ = true;
    const int status = app.exec();
    window.loopRunning_ = false;
    return window.closed() ? window.exitStatus() : status;
}

}  // namespace velt::production

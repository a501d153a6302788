#include "app/qt/QtWindow.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include "app/WindowIcon.h"

namespace velt {

// The top-level widget. Closing it is only a request: the logic decides when the window
// unloads (never in the middle of a transfer).
class FormWidget final : public QWidget {
  public:
    explicit FormWidget(QtWindow& owner) : owner_(owner) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        owner_.CloseRequested();
    }

  private:
    QtWindow& owner_;
};

namespace {

int Pixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

QRect PixelRect(const ControlLayout& entry) {
    return {Pixels(entry.left), Pixels(entry.top), Pixels(entry.width), Pixels(entry.height)};
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsValueLabel(Control control) {
    return control == Control::lblManuf || control == Control::lblProduct ||
           control == Control::lblVersion || control == Control::lblSerialNumber;
}

QLabel* MakeLabel(const ControlLayout& entry, QWidget* parent) {
    auto* label = new QLabel(parent);
    // Device strings are shown as they are; a '<' in a product name is not markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFrameShape(QFrame::NoFrame);
    label->setFocusPolicy(Qt::NoFocus);
    label->setText(ToQString(entry.caption));
    if (IsValueLabel(entry.control)) {
        label->setBackgroundRole(QPalette::Base);
        label->setForegroundRole(QPalette::Text);
        label->setAutoFillBackground(true);
    }
    return label;
}

QWidget* MakeFrame(QWidget* parent) {
    auto* frame = new QGroupBox(parent);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9.75);
    font.setWeight(QFont::Normal);
    frame->setFont(font);
    frame->setFocusPolicy(Qt::NoFocus);
    return frame;
}

QWidget* MakePicture(Control control, QWidget* parent) {
    auto* picture = new QFrame(parent);
    picture->setFocusPolicy(Qt::NoFocus);
    picture->setAutoFillBackground(true);
    if (control == Control::Pic) {
        // The progress bar: a flat box filled with the bar colour.
        picture->setFrameStyle(QFrame::Box | QFrame::Plain);
        picture->setLineWidth(1);
        QPalette palette = picture->palette();
        palette.setColor(QPalette::Window, QColor(128, 128, 255));
        picture->setPalette(palette);
    } else {
        // The trough the bar runs in.
        picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        picture->setLineWidth(1);
        picture->setBackgroundRole(QPalette::Button);
    }
    return picture;
}

QMessageBox::Icon IconForStyle(int style) {
    switch (style & 0x70) {
        case 16:
            return QMessageBox::Critical;
        case 32:
            return QMessageBox::Question;
        case 48:
            return QMessageBox::Warning;
        case 64:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

QImage MakeWindowIconImage(int size) {
    QImage image(size, size, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (const IconRgb& colour : WindowIconPalette()) {
        colours.push_back(qRgb(colour.red, colour.green, colour.blue));
    }
    colours[kIconTransparent] = qRgba(0, 0, 0, 0);
    image.setColorTable(colours);
    const std::vector<std::uint8_t> pixels = DrawWindowIcon(size);
    for (int y = 0; y < size; ++y) {
        std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(y) * size, size,
                    image.scanLine(y));
    }
    return image;
}

QIcon MakeWindowIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(MakeWindowIconImage(32)));
    icon.addPixmap(QPixmap::fromImage(MakeWindowIconImage(16)));
    return icon;
}

QtWindow::QtWindow() : form_(std::make_unique<FormWidget>(*this)) {
    form_->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
    form_->setWindowTitle(ToQString(kWindowTitle));
    form_->setWindowIcon(MakeWindowIcon());
    form_->setFixedSize(Pixels(kClientWidthTwips), Pixels(kClientHeightTwips));
    BuildControls();
    CentreOnScreen();
}

// The frame's size is only known once the window is shown; until then the client area is
// centred.
void QtWindow::CentreOnScreen() {
    const QScreen* screen = form_->screen();
    if (screen == nullptr) {
        return;
    }
    QRect placed = form_->frameGeometry();
    placed.moveCenter(screen->availableGeometry().center());
    form_->move(placed.topLeft());
}

QtWindow::~QtWindow() = default;

QWidget* QtWindow::form() const {
    return form_.get();
}

void QtWindow::BuildControls() {
    const auto layout = WindowLayout();
    // Parents first, whatever their place in the table.
    std::function<QWidget*(const ControlLayout&)> build = [&](const ControlLayout& entry) {
        QWidget*& slot = widgets_[Index(entry.control)];
        if (slot != nullptr) {
            return slot;
        }
        QWidget* parent = entry.parent ? build(LayoutOf(*entry.parent)) : form_.get();
        switch (entry.kind) {
            case ControlKind::Label:
                slot = MakeLabel(entry, parent);
                break;
            case ControlKind::Frame:
                slot = MakeFrame(parent);
                break;
            case ControlKind::PictureBox:
                slot = MakePicture(entry.control, parent);
                break;
            case ControlKind::CommandButton: {
                auto* button = new QPushButton(ToQString(entry.caption), parent);
                button->setFocusPolicy(Qt::StrongFocus);
                QObject::connect(button, &QPushButton::clicked, button, [this] {
                    if (events_ != nullptr && !unloaded_) {
                        events_->btnUpgradeFW_Click();
                    }
                });
                slot = button;
                break;
            }
        }
        slot->setObjectName(ToQString(entry.name));
        slot->setGeometry(PixelRect(entry));
        widths_[Index(entry.control)] = static_cast<float>(entry.width);
        return slot;
    };
    // Created in tab order, which makes the focus chain follow the tab indexes (setTabOrder
    // would move a frame's children behind the frame's whole block instead).
    std::vector<const ControlLayout*> byTab;
    for (const auto& entry : layout) {
        byTab.push_back(&entry);
    }
    std::stable_sort(byTab.begin(), byTab.end(),
                     [](const auto* a, const auto* b) { return a->tabIndex < b->tabIndex; });
    for (const auto* entry : byTab) {
        build(*entry);
    }
    // The table lists the controls from the top down, so the first one is raised last.
    for (auto it = layout.rbegin(); it != layout.rend(); ++it) {
        widgets_[Index(it->control)]->raise();
    }
}

QPixmap QtWindow::Grab() const {
    return form_->grab();
}

void QtWindow::SetCaption(Control control, const std::string& text) {
    QWidget* target = widget(control);
    const QString caption = QString::fromStdString(text);
    if (auto* label = qobject_cast<QLabel*>(target)) {
        label->setText(caption);
    } else if (auto* button = qobject_cast<QPushButton*>(target)) {
        button->setText(caption);
    } else if (auto* frame = qobject_cast<QGroupBox*>(target)) {
        frame->setTitle(caption);
    }
}

void QtWindow::SetEnabled(Control control, bool enabled) {
    widget(control)->setEnabled(enabled);
}

void QtWindow::SetVisible(Control control, bool visible) {
    widget(control)->setVisible(visible);
}

float QtWindow::GetWidth(Control control) {
    return widths_[Index(control)];
}

void QtWindow::SetWidth(Control control, float twips) {
    widths_[Index(control)] = twips;
    QWidget* target = widget(control);
    target->resize(std::max(0, Pixels(twips)), target->height());
}

void QtWindow::Refresh(Control control) {
    widget(control)->repaint();
}

void QtWindow::SetWindowTitle(const std::string& text) {
    form_->setWindowTitle(QString::fromStdString(text));
}

void QtWindow::ShowWindow() {
    if (unloaded_ || form_->isVisible()) {
        return;
    }
    // Becomes the focus once the window is active.
    widget(Control::btnUpgradeFW)->setFocus();
    form_->show();
    if (!shownBefore_) {
        shownBefore_ = true;
        CentreOnScreen();
    }
}

void QtWindow::MessageBox(const std::string& text, const std::string& title, int style) {
    QMessageBox box(IconForStyle(style), QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok, form_.get());
    box.setTextFormat(Qt::PlainText);
    if (messageBoxObserver_) {
        messageBoxObserver_(box);
    }
    box.exec();
}

void QtWindow::DoEvents() {
    QCoreApplication::processEvents();
}

void QtWindow::StartTimer(std::uint32_t intervalMs) {
    if (timer_ == nullptr) {
        timer_ = new QTimer(form_.get());
        QObject::connect(timer_, &QTimer::timeout, form_.get(), [this] {
            if (events_ != nullptr && !unloaded_) {
                events_->tmrDevices_Timer();
            }
        });
    }
    timer_->start(static_cast<int>(intervalMs));
}

void QtWindow::Unload(int exitStatus) {
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    exitStatus_ = exitStatus;
    if (events_ != nullptr) {
        events_->Form_Unload();
    }
    if (timer_ != nullptr) {
        timer_->stop();
    }
    form_->hide();
    if (!loopRunning_) {
        return;  // RunWindow sees the flag and does not start the loop
    }
    ExitLoopOnceBack(form_.get(), exitStatus_);
}

namespace {

void ExitLoopWhenBack(QObject* context, int exitStatus, int delayMs) {
    QTimer::singleShot(delayMs, context, [context, exitStatus] {
        if (QThread::currentThread()->loopLevel() <= 1) {
            QCoreApplication::exit(exitStatus);
        } else {
            ExitLoopWhenBack(context, exitStatus, 20);
        }
    });
}

}  // namespace

void ExitLoopOnceBack(QObject* context, int exitStatus) {
    ExitLoopWhenBack(context, exitStatus, 0);
}

void QtWindow::CloseRequested() {
    if (events_ != nullptr && !unloaded_) {
        events_->Form_CloseRequest();
    }
}

std::optional<std::string> MissingDisplay() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(name)) {
            return std::nullopt;
        }
    }
    return "no display to show the window on: DISPLAY is not set (QT_QPA_PLATFORM=offscreen "
           "runs without one)";
}

int RunWindow(QApplication& app, QtWindow& window, WindowEvents& events) {
    QApplication::setQuitOnLastWindowClosed(false);
    window.SetEvents(&events);
    events.Form_Load();
    int status = 0;
    if (!window.unloaded()) {
        // The logic leaves the window hidden when it has nothing to show yet.
        window.ShowWindow();
        // Activation events are no use here: some platforms activate every window, some
        // none, and desktops reactivate it after each message box.
        QTimer::singleShot(0, window.form(), [&window, &events] {
            if (!window.unloaded()) {
                window.widget(Control::btnUpgradeFW)->setFocus();
                events.Form_Activate();
            }
        });
        window.loopRunning_ = true;
        status = app.exec();
        window.loopRunning_ = false;
    }
    events.Form_Terminate();
    return window.unloaded() ? window.exitStatus() : status;
}

}  // namespace velt

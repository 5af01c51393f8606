#include "gui/form_view.h"

#include <algorithm>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <climits>
#include <cmath>

#include "gui/qt_text.h"

namespace qs {
namespace {

int g_dispatchDepth = 0;

// A container that may show a picture behind its children.
class PictureBox : public QWidget {
public:
    using QWidget::QWidget;
    void SetPicture(const QPixmap& picture) {
        m_picture = picture;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!m_picture.isNull()) {
            QPainter painter(this);
            painter.drawPixmap(0, 0, m_picture);
        }
    }

private:
    QPixmap m_picture;
};

// A borderless button that is only its picture, centred and scaled down to fit.
class PictureButton : public QAbstractButton {
public:
    explicit PictureButton(QWidget* parent) : QAbstractButton(parent) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }
    void SetPicture(const QPixmap& picture) {
        m_picture = picture;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (m_picture.isNull()) {
            return;
        }
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QSize size = m_picture.deviceIndependentSize().toSize();
        if (size.width() > width() || size.height() > height()) {
            size.scale(this->size(), Qt::KeepAspectRatio);
        }
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2),
                           size);
        painter.setOpacity(isDown() ? 0.7 : 1.0);
        painter.drawPixmap(target, m_picture);
    }

private:
    QPixmap m_picture;
};

// A caption that looks and acts like a link: the press and the click are separate events.
class LinkLabel : public QLabel {
public:
    explicit LinkLabel(QWidget* parent) : QLabel(parent) {
        setCursor(Qt::PointingHandCursor);
        setAlignment(Qt::AlignCenter);
        QFont font = this->font();
        font.setUnderline(true);
        setFont(font);
        QPalette palette = this->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 204));
        setPalette(palette);
    }
    std::function<void()> onPress;
    std::function<void()> onClick;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && onPress) {
            onPress();
        }
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
            onClick) {
            onClick();
        }
    }
};

// Local paths of a drop, in the desktop's order; a folder loses its trailing separator.
TextList DroppedPaths(const QMimeData* data) {
    TextList paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) {
            continue;
        }
        QString path = url.toLocalFile();
        while (path.size() > 1 && path.endsWith(QChar('/'))) {
            path.chop(1);
        }
        if (!path.isEmpty()) {
            paths.push_back(FromQt(path));
        }
    }
    return paths;
}

// A push button that Enter and Return press as well as Space while it has the focus, in a
// window as in a dialog (where the default button would take them otherwise).
class PushButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            event->modifiers() == Qt::NoModifier) {
            event->accept();
            click();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

class DepthGuard {
public:
    DepthGuard() { ++g_dispatchDepth; }
    ~DepthGuard() { --g_dispatchDepth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

}  // namespace

FormView::FormView(Form& form, QWidget* surface) : m_form(form), m_surface(surface) {
    m_zoom = FitZoom();
    if (m_zoom < 1) {
        QFont font = m_surface->font();
        if (font.pixelSize() > 0) {
            font.setPixelSize(std::max(1, Z(font.pixelSize())));
        } else {
            font.setPointSizeF(font.pointSizeF() * m_zoom);
        }
        m_surface->setFont(font);
    }
    Build();
    m_surface->installEventFilter(this);
    m_form.AddObserver(this);
}

FormView::~FormView() {
    m_form.RemoveObserver(this);
    StopTimers();
}

int FormView::DispatchDepth() {
    return g_dispatchDepth;
}

QWidget* FormView::WidgetOf(std::string_view name) const {
    auto found = m_widgets.find(name);
    return found == m_widgets.end() ? nullptr : found->second;
}

QTimer* FormView::TimerOf(std::string_view name) const {
    auto found = m_timers.find(name);
    return found == m_timers.end() ? nullptr : found->second;
}

void FormView::Build() {
    m_syncing = true;
    m_surface->setWindowTitle(ToQt(m_form.Title()));
    const QSize decorations = Decorations();
    m_form.SetDecorations(decorations.width(), decorations.height());
    // Widgets first, parents second: a control may be listed before its container.
    for (const auto& control : m_form.Controls()) {
        if (control->kind == ControlKind::Timer) {
            auto* timer = new QTimer(this);
            m_timers[control->name] = timer;
            const Text name = control->name;
            connect(timer, &QTimer::timeout, this, [this, name] {
                Dispatch([this, name] { m_form.Fire(name, ControlEvent::TimerTick); });
            });
            continue;
        }
        QWidget* widget = Create(*control);
        m_widgets[control->name] = widget;
        m_names[widget] = control->name;
    }
    for (const auto& control : m_form.Controls()) {
        if (control->kind == ControlKind::Timer) {
            SyncTimer(*control);
            continue;
        }
        PlaceInParent(*control);
        SyncAll(*control);
        Connect(*control, WidgetOf(control->name));
    }
    SyncFormGeometry();
    // A focus the form set while it was being opened; the window gives it to that widget
    // when it is shown, instead of to its first tab stop.
    ApplyFocus();
    m_syncing = false;
}

void FormView::ApplyFocus() {
    if (QWidget* widget = WidgetOf(m_form.Focused()); widget && !widget->hasFocus()) {
        const bool wasSyncing = m_syncing;
        m_syncing = true;
        widget->setFocus(Qt::OtherFocusReason);
        m_syncing = wasSyncing;
    }
}

QWidget* FormView::Create(const Control& control) {
    switch (control.kind) {
        case ControlKind::PictureBox:
            return new PictureBox(m_surface);
        case ControlKind::Label: {
            auto* label = new QLabel(m_surface);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            return label;
        }
        case ControlKind::PictureButton:
            return new PictureButton(m_surface);
        case ControlKind::Hyperlink:
            return new LinkLabel(m_surface);
        case ControlKind::GroupBox:
            return new QGroupBox(m_surface);
        case ControlKind::RadioButton: {
            // The model keeps the group exclusive; Qt's own grouping would refuse to show
            // a group in which the model has nothing selected.
            auto* radio = new QRadioButton(m_surface);
            radio->setAutoExclusive(false);
            return radio;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(m_surface);
        case ControlKind::EditBox: {
            if (control.multiLine) {
                auto* edit = new QPlainTextEdit(m_surface);
                edit->setVerticalScrollBarPolicy(
                    control.verticalScrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
                edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                edit->setReadOnly(control.readOnly);
                edit->setTabChangesFocus(true);
                // Files dropped on a box go to the panel around it.
                edit->setAcceptDrops(false);
                edit->viewport()->setAcceptDrops(false);
                if (control.readOnly && !control.verticalScrollBar) {
                    // A prompt: its box is sized by rows of 12 pixels, which its text fills
                    // without a frame or margins, in a font a little smaller than the form's.
                    edit->setFrameShape(QFrame::NoFrame);
                    edit->document()->setDocumentMargin(0);
                    QFont font = edit->font();
                    if (font.pixelSize() > 0) {
                        font.setPixelSize(std::max(1, font.pixelSize() * 5 / 6));
                    }
                    edit->setFont(font);
                    edit->viewport()->setAutoFillBackground(false);
                }
                return edit;
            }
            auto* edit = new QLineEdit(m_surface);
            edit->setReadOnly(control.readOnly);
            edit->setAcceptDrops(false);
            if (control.editType == EditType::Integer) {
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*")), edit));
            } else if (control.editType == EditType::Decimal) {
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*[.]?[0-9]*")), edit));
            }
            return edit;
        }
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(m_surface);
            combo->setEditable(false);
            return combo;
        }
        case ControlKind::Button: {
            auto* button = new PushButton(m_surface);
            button->setDefault(control.defaultButton);
            button->setAutoDefault(false);
            return button;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(m_surface);
            bar->setTextVisible(false);
            return bar;
        }
        case ControlKind::TransparentLabel: {
            auto* label = new QLabel(m_surface);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
            label->setAutoFillBackground(false);
            return label;
        }
        case ControlKind::ShapeBox: {
            auto* frame = new QFrame(m_surface);
            frame->setFrameShape(QFrame::NoFrame);
            return frame;
        }
        case ControlKind::Timer:
            break;
    }
    return new QWidget(m_surface);
}

void FormView::Connect(const Control& control, QWidget* widget) {
    const Text name = control.name;
    widget->installEventFilter(this);
    switch (control.kind) {
        case ControlKind::PictureButton:
        case ControlKind::Button:
            connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, this,
                    [this, name] { Dispatch([this, name] { m_form.Click(name); }); });
            break;
        case ControlKind::RadioButton:
        case ControlKind::CheckBox:
            // Qt has already changed the box; the model decides what it finally shows.
            connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, this,
                    [this, name] {
                        Dispatch([this, name] { m_form.Click(name); });
                        if (const Control* c = m_form.Find(name)) {
                            Sync(*c, ControlProperty::Checked);
                        }
                    });
            break;
        case ControlKind::Hyperlink: {
            auto* link = static_cast<LinkLabel*>(widget);
            link->onPress = [this, name] {
                Dispatch([this, name] { m_form.Fire(name, ControlEvent::LeftButtonDown); });
            };
            link->onClick = [this, name] { Dispatch([this, name] { m_form.Click(name); }); };
            break;
        }
        case ControlKind::EditBox:
            if (control.multiLine) {
                auto* edit = static_cast<QPlainTextEdit*>(widget);
                edit->viewport()->installEventFilter(this);
                m_names[edit->viewport()] = name;
                connect(edit, &QPlainTextEdit::textChanged, this, [this, name, edit] {
                    if (m_syncing) {
                        return;
                    }
                    const Text text = FromQtLines(edit->toPlainText());
                    Dispatch([this, name, text] { m_form.SetText(name, text); });
                });
            } else {
                auto* edit = static_cast<QLineEdit*>(widget);
                connect(edit, &QLineEdit::textEdited, this, [this, name](const QString& text) {
                    const Text value = FromQt(text);
                    Dispatch([this, name, value] { m_form.SetText(name, value); });
                });
            }
            break;
        case ControlKind::ComboBox:
            connect(static_cast<QComboBox*>(widget), &QComboBox::activated, this,
                    [this, name](int index) {
                        Dispatch([this, name, index] { m_form.SetSelectedIndex(name, index); });
                    });
            break;
        default:
            break;
    }
}

void FormView::PlaceInParent(const Control& control) {
    QWidget* widget = WidgetOf(control.name);
    if (widget == nullptr) {
        return;
    }
    QWidget* parent = control.parent.empty() ? m_surface : WidgetOf(control.parent);
    if (parent == nullptr) {
        parent = m_surface;
    }
    if (widget->parentWidget() != parent) {
        widget->setParent(parent);
    }
    widget->raise();
}

void FormView::SyncAll(const Control& control) {
    for (ControlProperty property :
         {ControlProperty::Geometry, ControlProperty::Content, ControlProperty::Checked,
          ControlProperty::Items, ControlProperty::SelectedIndex, ControlProperty::Maximum,
          ControlProperty::Position, ControlProperty::Disabled, ControlProperty::Visible}) {
        Sync(control, property);
    }
}

void FormView::SyncTimer(const Control& control) {
    QTimer* timer = TimerOf(control.name);
    if (timer == nullptr) {
        return;
    }
    if (control.period > 0 && !control.disabled) {
        if (!timer->isActive() || timer->interval() != control.period) {
            timer->start(control.period);
        }
    } else {
        timer->stop();
    }
}

void FormView::StopTimers() {
    for (auto& [name, timer] : m_timers) {
        timer->stop();
    }
    if (m_progressTimer != nullptr) {
        m_progressTimer->stop();
    }
}

void FormView::Sync(const Control& control, ControlProperty property) {
    if (control.kind == ControlKind::Timer) {
        SyncTimer(control);
        return;
    }
    QWidget* widget = WidgetOf(control.name);
    if (widget == nullptr) {
        return;
    }
    const bool wasSyncing = m_syncing;
    m_syncing = true;
    switch (property) {
        case ControlProperty::Geometry:
            widget->setGeometry(Z(control.left), Z(control.top), Z(control.width),
                                Z(control.height));
            break;
        case ControlProperty::Visible:
            widget->setHidden(!control.visible);
            break;
        case ControlProperty::Disabled:
            widget->setEnabled(!control.disabled);
            break;
        case ControlProperty::Parent:
            PlaceInParent(control);
            widget->setGeometry(Z(control.left), Z(control.top), Z(control.width),
                                Z(control.height));
            widget->setHidden(!control.visible);
            break;
        case ControlProperty::Content: {
            switch (control.kind) {
                case ControlKind::EditBox:
                    if (control.multiLine) {
                        auto* edit = static_cast<QPlainTextEdit*>(widget);
                        const QString text = ToQtLines(control.text);
                        // Only a change made elsewhere is written back, so typing keeps its
                        // cursor.
                        if (edit->toPlainText() != text) {
                            edit->setPlainText(text);
                        }
                    } else {
                        auto* edit = static_cast<QLineEdit*>(widget);
                        const QString text = ToQt(control.text);
                        if (edit->text() != text) {
                            edit->setText(text);
                        }
                    }
                    break;
                case ControlKind::Label:
                case ControlKind::Hyperlink:
                case ControlKind::TransparentLabel:
                    static_cast<QLabel*>(widget)->setText(ToQt(control.text));
                    break;
                case ControlKind::GroupBox:
                    static_cast<QGroupBox*>(widget)->setTitle(ToQt(control.text));
                    break;
                case ControlKind::Button:
                case ControlKind::RadioButton:
                case ControlKind::CheckBox:
                    static_cast<QAbstractButton*>(widget)->setText(ToQt(control.text));
                    break;
                default:
                    break;
            }
            break;
        }
        case ControlProperty::Checked:
            if (control.kind == ControlKind::RadioButton || control.kind == ControlKind::CheckBox) {
                static_cast<QAbstractButton*>(widget)->setChecked(control.checked);
            }
            break;
        case ControlProperty::Items:
            if (control.kind == ControlKind::ComboBox) {
                auto* combo = static_cast<QComboBox*>(widget);
                combo->clear();
                for (const Text& item : control.items) {
                    combo->addItem(ToQt(item));
                }
                combo->setCurrentIndex(control.selectedIndex);
            }
            break;
        case ControlProperty::SelectedIndex:
            if (control.kind == ControlKind::ComboBox) {
                static_cast<QComboBox*>(widget)->setCurrentIndex(control.selectedIndex);
            }
            break;
        case ControlProperty::Maximum:
        case ControlProperty::Position:
            if (control.kind == ControlKind::ProgressBar) {
                SyncProgress(control);
            }
            break;
        default:
            break;
    }
    m_syncing = wasSyncing;
}

namespace {
// Steps of the bar per item, so that progress within one file shows.
constexpr int kStepsPerItem = 1000;
}  // namespace

void FormView::SyncProgress(const Control& control) {
    auto* bar = qobject_cast<QProgressBar*>(WidgetOf(control.name));
    if (bar == nullptr) {
        return;
    }
    const bool detailed = m_progressDetail && control.name == m_detailedBar;
    const int steps = detailed ? kStepsPerItem : 1;
    // A range of 0..0 would turn the bar into a busy indicator.
    const int maximum = std::clamp(control.maximum, 1, INT_MAX / kStepsPerItem);
    int value = control.maximum > 0 ? std::clamp(control.position, 0, maximum) * steps : 0;
    if (detailed && control.maximum > 0) {
        value = static_cast<int>(
            std::lround(std::clamp(m_progressDetail(), 0.0, 1.0) * maximum * steps));
    }
    bar->setRange(0, maximum * steps);
    if (bar->value() != value) {
        bar->setValue(value);
    }
}

void FormView::SetProgressDetail(std::string_view name, std::function<double()> detail) {
    m_detailedBar = Text(name);
    m_progressDetail = std::move(detail);
    if (m_progressTimer == nullptr) {
        m_progressTimer = new QTimer(this);
        connect(m_progressTimer, &QTimer::timeout, this, [this] {
            if (const Control* bar = m_form.Find(m_detailedBar)) {
                SyncProgress(*bar);
            }
        });
    }
    m_progressTimer->start(40);
}

double FormView::FitZoom() const {
    const QScreen* screen = m_surface->screen();
    if (!m_surface->isWindow() || screen == nullptr || m_form.Width() <= 0 ||
        m_form.Height() <= 0) {
        return 1;
    }
    const QRect room = screen->availableGeometry();
    return std::min(
        {1.0, room.width() / double(m_form.Width()), room.height() / double(m_form.Height())});
}

int FormView::Z(int value) const {
    return m_zoom == 1 ? value : static_cast<int>(std::lround(value * m_zoom));
}

QSize FormView::Decorations() const {
    // Only the frame the window system reports (on X11 _NET_FRAME_EXTENTS); until it has
    // framed the window, and where it never tells, the client area is the whole size.
    const QWindow* window = m_surface->windowHandle();
    const QMargins frame = window ? window->frameMargins() : QMargins();
    return QSize(static_cast<int>(std::lround((frame.left() + frame.right()) / m_zoom)),
                 static_cast<int>(std::lround((frame.top() + frame.bottom()) / m_zoom)));
}

void FormView::SetFixedSize(bool fixed) {
    m_fixedSize = fixed;
    SyncFormGeometry();
}

void FormView::SyncFormGeometry() {
    if (m_form.ClientWidth() <= 0 || m_form.ClientHeight() <= 0) {
        return;
    }
    const bool wasSyncing = m_syncing;
    m_syncing = true;
    const QSize client(Z(m_form.ClientWidth()), Z(m_form.ClientHeight()));
    if (m_fixedSize) {
        m_surface->setFixedSize(client);
    } else if (m_surface->size() != client) {
        m_surface->resize(client);
    }
    // A window's position is that of its frame, kept on the screen (a dialog centred on a
    // small screen would start above it).
    QPoint place(m_form.Left(), m_form.Top());
    if (m_surface->isWindow() && m_surface->screen() != nullptr) {
        const QRect room = m_surface->screen()->availableGeometry();
        place.setX(std::clamp(place.x(), room.left(),
                              std::max(room.left(), room.right() + 1 - Z(m_form.Width()))));
        place.setY(std::clamp(place.y(), room.top(),
                              std::max(room.top(), room.bottom() + 1 - Z(m_form.Height()))));
    }
    if (m_surface->pos() != place) {
        m_surface->move(place);
    }
    m_syncing = wasSyncing;
}

void FormView::FollowDecorations() {
    const QSize decorations = Decorations();
    if (decorations.width() == m_form.Width() - m_form.ClientWidth() &&
        decorations.height() == m_form.Height() - m_form.ClientHeight()) {
        return;
    }
    // The frame keeps the form's size; the client area gives way.
    Dispatch(
        [this, decorations] { m_form.SetDecorations(decorations.width(), decorations.height()); });
    SyncFormGeometry();
}

void FormView::OnChanged(Form&, const Control* control, ControlProperty property) {
    if (control == nullptr) {
        switch (property) {
            case ControlProperty::Title:
                m_surface->setWindowTitle(ToQt(m_form.Title()));
                break;
            case ControlProperty::Geometry:
                SyncFormGeometry();
                break;
            case ControlProperty::Focus:
                ApplyFocus();
                break;
            default:
                break;
        }
        return;
    }
    Sync(*control, property);
}

void FormView::Dispatch(const std::function<void()>& call) {
    {
        DepthGuard depth;
        call();
    }
    if (m_afterDispatch) {
        m_afterDispatch();
    }
}

void FormView::SetPicture(std::string_view name, const QPixmap& picture) {
    QWidget* widget = WidgetOf(name);
    if (auto* box = dynamic_cast<PictureBox*>(widget)) {
        box->SetPicture(picture);
    } else if (auto* button = dynamic_cast<PictureButton*>(widget)) {
        button->SetPicture(picture);
    }
}

void FormView::SetDropHandler(std::string_view name, DropHandler handler) {
    QWidget* widget = WidgetOf(name);
    if (widget == nullptr) {
        return;
    }
    widget->setAcceptDrops(true);
    m_dropHandlers[widget] = std::move(handler);
}

void FormView::Drop(std::string_view name, const TextList& paths) {
    auto found = m_dropHandlers.find(WidgetOf(name));
    if (found != m_dropHandlers.end() && !paths.empty()) {
        Deliver(found->second, paths);
    }
}

void FormView::Deliver(DropHandler handler, const TextList& paths) {
    QTimer::singleShot(0, this, [this, handler = std::move(handler), paths] {
        Dispatch([&handler, &paths] { handler(paths); });
    });
}

const Control* FormView::ControlOfWidget(QObject* object) const {
    auto found = m_names.find(object);
    return found == m_names.end() ? nullptr : m_form.Find(found->second);
}

bool FormView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_surface) {
        const QEvent::Type type = event->type();
        if (type == QEvent::Show || type == QEvent::WindowActivate) {
            FollowDecorations();
            // The window manager frames a new window a little later, and tells so without
            // an event to the window: look again for a while.
            if (type == QEvent::Show) {
                for (int ms : {50, 200, 500, 1000, 2000}) {
                    QTimer::singleShot(ms, this, [this] {
                        if (m_surface->isVisible()) {
                            FollowDecorations();
                        }
                    });
                }
            }
        } else if ((type == QEvent::Resize || type == QEvent::Move) && !m_syncing &&
                   m_surface->isVisible()) {
            // The window system may have framed the window by now, or the user moved or
            // resized it: the form learns both, in frame terms.
            const QSize decorations = Decorations();
            const QSize client(static_cast<int>(std::lround(m_surface->width() / m_zoom)),
                               static_cast<int>(std::lround(m_surface->height() / m_zoom)));
            // A fixed-layout window keeps the form's outer size: a frame that has just become
            // known takes its room from the client area, not from the outer size.
            const QRect frame(m_surface->pos(), m_fixedSize ? QSize(m_form.Width(), m_form.Height())
                                                            : client + decorations);
            Dispatch([this, decorations, frame] {
                m_form.SetFormGeometry(frame.x(), frame.y(), frame.width(), frame.height());
                m_form.SetDecorations(decorations.width(), decorations.height());
            });
            if (m_fixedSize) {
                SyncFormGeometry();
            }
        }
        return false;
    }
    switch (event->type()) {
        case QEvent::FocusIn:
            if (!m_syncing) {
                if (const Control* control = ControlOfWidget(watched)) {
                    const Text name = control->name;
                    m_syncing = true;
                    m_form.SetFocus(name);
                    m_syncing = false;
                }
            }
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto found = m_dropHandlers.find(watched);
            if (found == m_dropHandlers.end()) {
                break;
            }
            auto* drag = static_cast<QDropEvent*>(event);
            if (!DroppedPaths(drag->mimeData()).empty()) {
                drag->acceptProposedAction();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto found = m_dropHandlers.find(watched);
            if (found == m_dropHandlers.end()) {
                break;
            }
            auto* drop = static_cast<QDropEvent*>(event);
            TextList paths = DroppedPaths(drop->mimeData());
            if (paths.empty()) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            // The job runs after the drop has been answered, so the desktop's drag ends at
            // once instead of waiting for the whole job.
            Deliver(found->second, paths);
            return true;
        }
        default:
            break;
    }
    return false;
}

}  // namespace qs

#include "platform/skin_reader.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QVariant>
#include <QWidget>
#include <QXmlStreamReader>
#include <memory>
#include <vector>

namespace {

// The largest skin file read: skins are a few kilobytes.
constexpr qint64 kMaxSkinBytes = 1024 * 1024;
// The largest size, padding or font size a skin may give, in pixels or points.
constexpr int kMaxSkinLength = 10000;
constexpr const char* kTagProperty = "orboSkinTag";

struct SkinNode {
    QString element;
    QXmlStreamAttributes attributes;
    qint64 line = 0;
    std::vector<std::unique_ptr<SkinNode>> children;
};

// The attributes every element may have, and those of each kind.
const QStringList kCommonAttributes = {"name",      "width", "height",  "padding", "bkcolor",
                                       "textcolor", "font",  "tooltip", "visible", "enabled"};
const QHash<QString, QStringList> kKindAttributes = {
    {"Window", {"size", "childpadding"}},
    {"VerticalLayout", {"childpadding"}},
    {"HorizontalLayout", {"childpadding"}},
    {"Control", {}},
    {"Label", {"text", "align"}},
    {"Button", {"text"}},
    {"Combo", {}},
    {"Edit", {"text", "readonly"}},
    {"RichEdit", {"text", "readonly"}},
    {"Progress", {"min", "max", "value"}},
};

}  // namespace

class SkinView::Builder {
public:
    Builder(SkinView& view, QString* error) : m_view(view), m_error(error) {}

    std::unique_ptr<SkinNode> Parse(const QByteArray& xml) {
        QXmlStreamReader reader(xml);
        std::unique_ptr<SkinNode> root;
        std::vector<SkinNode*> open;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement()) {
                auto node = std::make_unique<SkinNode>();
                node->element = reader.name().toString();
                node->attributes = reader.attributes();
                node->line = reader.lineNumber();
                SkinNode* raw = node.get();
                if (open.empty()) {
                    root = std::move(node);
                } else {
                    open.back()->children.push_back(std::move(node));
                }
                open.push_back(raw);
            } else if (reader.isEndElement()) {
                open.pop_back();
            } else if (reader.isCharacters() && !reader.isWhitespace()) {
                Fail(reader.lineNumber(), QStringLiteral("text outside an attribute"));
                return nullptr;
            }
        }
        if (reader.hasError()) {
            Fail(reader.lineNumber(), reader.errorString());
            return nullptr;
        }
        if (!root || root->element != QLatin1String("Window")) {
            Fail(root ? root->line : 1, QStringLiteral("the root element must be Window"));
            return nullptr;
        }
        return root;
    }

    bool Build(QWidget* host, const SkinNode& root) {
        if (!Check(root)) return false;
        QSize size;
        if (root.attributes.hasAttribute(QLatin1String("size")) && !ParsePair(root, "size", size)) {
            return false;
        }
        if (!ApplyStyle(host, root)) return false;
        // Built in a widget of its own, so that a refused skin leaves nothing behind.
        auto content = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(content.get());
        if (!ApplyLayoutSpacing(layout, root) || !AddChildren(layout, root)) return false;
        auto* outer = new QVBoxLayout(host);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->addWidget(content.release());
        m_view.m_size = size;
        return true;
    }

    QHash<QString, QWidget*> named;

private:
    bool Fail(qint64 line, const QString& why) {
        if (m_error != nullptr) *m_error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return false;
    }

    bool Check(const SkinNode& node) {
        const auto kind = kKindAttributes.find(node.element);
        if (kind == kKindAttributes.end()) {
            return Fail(node.line, QStringLiteral("unknown element %1").arg(node.element));
        }
        for (const QXmlStreamAttribute& attribute : node.attributes) {
            const QString name = attribute.name().toString();
            if (!kCommonAttributes.contains(name) && !kind->contains(name)) {
                return Fail(node.line,
                            QStringLiteral("%1 has no attribute %2").arg(node.element, name));
            }
        }
        const bool container = node.element == QLatin1String("Window") ||
                               node.element.endsWith(QLatin1String("Layout"));
        if (!container && !node.children.empty()) {
            return Fail(node.line, QStringLiteral("%1 cannot hold elements").arg(node.element));
        }
        return true;
    }

    QString Text(const SkinNode& node, const char* name) const {
        return node.attributes.value(QLatin1String(name)).toString();
    }
    bool Has(const SkinNode& node, const char* name) const {
        return node.attributes.hasAttribute(QLatin1String(name));
    }

    bool ParseInt(const SkinNode& node, const char* name, int& value, int low = 0,
                  int high = kMaxSkinLength) {
        bool ok = false;
        const int parsed = Text(node, name).trimmed().toInt(&ok);
        if (!ok || parsed < low || parsed > high) {
            return Fail(node.line, QStringLiteral("%1=\"%2\" is not a number from %3 to %4")
                                       .arg(QLatin1String(name), Text(node, name))
                                       .arg(low)
                                       .arg(high));
        }
        value = parsed;
        return true;
    }

    bool ParseList(const SkinNode& node, const char* name, int count, int* values) {
        const QStringList parts = Text(node, name).split(QLatin1Char(','));
        bool ok = parts.size() == count;
        for (int i = 0; ok && i < count; ++i) {
            values[i] = parts[i].trimmed().toInt(&ok);
            ok = ok && values[i] >= 0 && values[i] <= kMaxSkinLength;
        }
        if (!ok) {
            return Fail(node.line, QStringLiteral("%1=\"%2\" is not %3 numbers from 0 to %4")
                                       .arg(QLatin1String(name), Text(node, name))
                                       .arg(count)
                                       .arg(kMaxSkinLength));
        }
        return true;
    }

    bool ParsePair(const SkinNode& node, const char* name, QSize& size) {
        int values[2] = {};
        if (!ParseList(node, name, 2, values)) return false;
        size = QSize(values[0], values[1]);
        return true;
    }

    bool ParseBool(const SkinNode& node, const char* name, bool& value) {
        const QString text = Text(node, name);
        if (text != QLatin1String("true") && text != QLatin1String("false")) {
            return Fail(node.line, QStringLiteral("%1=\"%2\" is neither true nor false")
                                       .arg(QLatin1String(name), text));
        }
        value = text == QLatin1String("true");
        return true;
    }

    // "#RRGGBB" or "#AARRGGBB".
    bool ParseColor(const SkinNode& node, const char* name, QColor& color) {
        static const QRegularExpression kPattern(
            QStringLiteral("^#([0-9A-Fa-f]{6}|[0-9A-Fa-f]{8})$"));
        const QString text = Text(node, name);
        if (!kPattern.match(text).hasMatch()) {
            return Fail(node.line, QStringLiteral("%1=\"%2\" is not #RRGGBB or #AARRGGBB")
                                       .arg(QLatin1String(name), text));
        }
        const uint32_t value = text.mid(1).toUInt(nullptr, 16);
        color = QColor::fromRgba(text.size() == 7 ? (0xFF000000u | value) : value);
        return true;
    }

    // "family,points" or "family,points,bold".
    bool ParseFont(const SkinNode& node, QFont& font) {
        const QStringList parts = Text(node, "font").split(QLatin1Char(','));
        bool ok = parts.size() == 2 || (parts.size() == 3 && parts[2].trimmed() == "bold");
        const int points = ok ? parts[1].trimmed().toInt(&ok) : 0;
        if (!ok || points < 1 || points > 200 || parts[0].trimmed().isEmpty()) {
            return Fail(node.line, QStringLiteral("font=\"%1\" is not \"family,points[,bold]\"")
                                       .arg(Text(node, "font")));
        }
        if (!parts[0].trimmed().isEmpty()) font.setFamilies({parts[0].trimmed()});
        font.setPointSize(points);
        font.setBold(parts.size() == 3);
        return true;
    }

    bool ApplyStyle(QWidget* widget, const SkinNode& node) {
        QPalette palette = widget->palette();
        if (Has(node, "bkcolor")) {
            QColor color;
            if (!ParseColor(node, "bkcolor", color)) return false;
            palette.setColor(QPalette::Window, color);
            palette.setColor(QPalette::Base, color);
            palette.setColor(QPalette::Button, color);
            widget->setAutoFillBackground(true);
        }
        if (Has(node, "textcolor")) {
            QColor color;
            if (!ParseColor(node, "textcolor", color)) return false;
            palette.setColor(QPalette::WindowText, color);
            palette.setColor(QPalette::Text, color);
            palette.setColor(QPalette::ButtonText, color);
        }
        widget->setPalette(palette);
        if (Has(node, "font")) {
            QFont font = widget->font();
            if (!ParseFont(node, font)) return false;
            widget->setFont(font);
        }
        if (Has(node, "tooltip")) widget->setToolTip(Text(node, "tooltip"));
        if (Has(node, "enabled")) {
            bool enabled = true;
            if (!ParseBool(node, "enabled", enabled)) return false;
            widget->setEnabled(enabled);
        }
        return true;
    }

    bool ApplyLayoutSpacing(QBoxLayout* layout, const SkinNode& node) {
        int padding[4] = {};
        if (Has(node, "padding") && !ParseList(node, "padding", 4, padding)) return false;
        layout->setContentsMargins(padding[0], padding[1], padding[2], padding[3]);
        int spacing = 0;
        if (Has(node, "childpadding") && !ParseInt(node, "childpadding", spacing)) return false;
        layout->setSpacing(spacing);
        return true;
    }

    // A fixed width or height where given; the other way the control stretches.
    bool ApplySize(QWidget* widget, const SkinNode& node, QSizePolicy::Policy free) {
        QSizePolicy policy(free, free);
        if (Has(node, "width")) {
            int width = 0;
            if (!ParseInt(node, "width", width)) return false;
            widget->setFixedWidth(width);
            policy.setHorizontalPolicy(QSizePolicy::Fixed);
        }
        if (Has(node, "height")) {
            int height = 0;
            if (!ParseInt(node, "height", height)) return false;
            widget->setFixedHeight(height);
            policy.setVerticalPolicy(QSizePolicy::Fixed);
        }
        widget->setSizePolicy(policy);
        return true;
    }

    bool Register(QWidget* widget, const SkinNode& node) {
        const QString name = Text(node, "name");
        if (name.isEmpty()) return true;
        if (named.contains(name)) {
            return Fail(node.line, QStringLiteral("the name %1 is given twice").arg(name));
        }
        widget->setObjectName(name);
        named.insert(name, widget);
        return true;
    }

    QWidget* MakeControl(const SkinNode& node) {
        const QString& kind = node.element;
        const QString text = Text(node, "text");
        const QString name = Text(node, "name");
        const SkinView* view = &m_view;
        if (kind == QLatin1String("Label")) {
            auto* label = new QLabel(text);
            const QString align = Text(node, "align");
            if (align == QLatin1String("center")) {
                label->setAlignment(Qt::AlignCenter);
            } else if (align == QLatin1String("right")) {
                label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            } else if (align.isEmpty() || align == QLatin1String("left")) {
                label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            } else {
                delete label;
                Fail(node.line,
                     QStringLiteral("align=\"%1\" is not left, center or right").arg(align));
                return nullptr;
            }
            return label;
        }
        if (kind == QLatin1String("Button")) {
            auto* button = new QPushButton(text);
            button->setAutoDefault(false);
            QObject::connect(button, &QPushButton::clicked, button,
                             [view, name] { view->Notify(kSkinNotifyClick, name); });
            return button;
        }
        if (kind == QLatin1String("Combo")) {
            auto* combo = new QComboBox;
            QObject::connect(combo, &QComboBox::currentIndexChanged, combo,
                             [view, name] { view->Notify(kSkinNotifyItemSelect, name); });
            return combo;
        }
        if (kind == QLatin1String("Edit")) {
            auto* edit = new QLineEdit(text);
            bool readOnly = false;
            if (Has(node, "readonly") && !ParseBool(node, "readonly", readOnly)) {
                delete edit;
                return nullptr;
            }
            edit->setReadOnly(readOnly);
            QObject::connect(edit, &QLineEdit::textChanged, edit,
                             [view, name] { view->Notify(kSkinNotifyTextChanged, name); });
            return edit;
        }
        if (kind == QLatin1String("RichEdit")) {
            auto* box = new QPlainTextEdit(text);
            bool readOnly = false;
            if (Has(node, "readonly") && !ParseBool(node, "readonly", readOnly)) {
                delete box;
                return nullptr;
            }
            box->setReadOnly(readOnly);
            return box;
        }
        if (kind == QLatin1String("Progress")) {
            auto* bar = new QProgressBar;
            int low = 0;
            int high = 100;
            int value = 0;
            if ((Has(node, "min") && !ParseInt(node, "min", low, 0, INT32_MAX)) ||
                (Has(node, "max") && !ParseInt(node, "max", high, 0, INT32_MAX)) ||
                (Has(node, "value") && !ParseInt(node, "value", value, 0, INT32_MAX))) {
                delete bar;
                return nullptr;
            }
            bar->setRange(low, high);
            bar->setValue(value);
            return bar;
        }
        return new QWidget;  // Control: an empty filler
    }

    bool AddChildren(QBoxLayout* layout, const SkinNode& parent) {
        for (const auto& child : parent.children) {
            if (!Check(*child)) return false;
            const bool horizontal = child->element == QLatin1String("HorizontalLayout");
            const bool vertical = child->element == QLatin1String("VerticalLayout");
            QWidget* widget = nullptr;
            if (horizontal || vertical) {
                widget = new QWidget;
                QBoxLayout* inner = horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(widget))
                                               : new QVBoxLayout(widget);
                if (!ApplyLayoutSpacing(inner, *child) || !AddChildren(inner, *child)) {
                    delete widget;
                    return false;
                }
            } else {
                widget = MakeControl(*child);
                if (widget == nullptr) return false;
                int padding[4] = {};
                if (Has(*child, "padding") && !ParseList(*child, "padding", 4, padding)) {
                    delete widget;
                    return false;
                }
                widget->setContentsMargins(padding[0], padding[1], padding[2], padding[3]);
            }
            bool visible = true;
            if (!ApplyStyle(widget, *child) ||
                !ApplySize(widget, *child,
                           horizontal || vertical || child->element == "Control" ||
                                   child->element == "RichEdit"
                               ? QSizePolicy::Expanding
                               : QSizePolicy::Preferred) ||
                (Has(*child, "visible") && !ParseBool(*child, "visible", visible)) ||
                !Register(widget, *child)) {
                delete widget;
                return false;
            }
            layout->addWidget(widget);
            widget->setVisible(visible);
        }
        return true;
    }

    SkinView& m_view;
    QString* m_error;
};

bool SkinView::LoadFile(QWidget* host, const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error != nullptr) *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    if (file.size() > kMaxSkinBytes) {
        if (error != nullptr) *error = path + QStringLiteral(": larger than a skin can be");
        return false;
    }
    QString why;
    if (!LoadText(host, file.readAll(), &why)) {
        if (error != nullptr) *error = path + QStringLiteral(", ") + why;
        return false;
    }
    return true;
}

bool SkinView::LoadText(QWidget* host, const QByteArray& xml, QString* error) {
    if (host == nullptr || host->layout() != nullptr) {
        if (error != nullptr) *error = QStringLiteral("no window to build the skin in");
        return false;
    }
    Builder builder(*this, error);
    const std::unique_ptr<SkinNode> root = builder.Parse(xml);
    if (!root || !builder.Build(host, *root)) return false;
    m_controls = builder.named;
    return true;
}

void SkinView::Notify(const char* type, const QString& sender) const {
    if (m_handler) m_handler(QString::fromLatin1(type), sender);
}

void SetSkinTag(QWidget* control, int64_t tag) {
    if (control != nullptr) control->setProperty(kTagProperty, QVariant::fromValue<qint64>(tag));
}

int64_t GetSkinTag(const QWidget* control) {
    return control != nullptr ? control->property(kTagProperty).toLongLong() : 0;
}

// Windows laid out by a skin file: a small XML format of our own (docs/skin_format.md) that
// builds Qt widgets - labels, buttons, drop-down lists, edits, a read-only rich text box,
// progress bars - in horizontal and vertical layouts with fixed or stretching sizes, padding,
// colours and fonts. Controls are found by their name; a button's click, an edit's text change
// and a list's selection change are passed to one handler as the notifications "click",
// "textchanged" and "itemselect" with the sender's name.
//
// A skin that does not parse, names an unknown element or attribute, has a bad value or a name
// twice is refused as a whole with a message naming the line; nothing is built then.
//
// Window thread only.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>

class QWidget;

// Notification types.
inline constexpr const char* kSkinNotifyClick = "click";
inline constexpr const char* kSkinNotifyTextChanged = "textchanged";
inline constexpr const char* kSkinNotifyItemSelect = "itemselect";

class SkinView {
public:
    using NotifyHandler = std::function<void(const QString& type, const QString& sender)>;

    SkinView() = default;
    SkinView(const SkinView&) = delete;
    SkinView& operator=(const SkinView&) = delete;

    // Builds the skin file's controls into `host` (which must have no layout yet): the root's
    // layout, colours and font go to the host, and its size is InitialSize(). False with
    // `error` set when the file cannot be read or the skin is refused.
    bool LoadFile(QWidget* host, const QString& path, QString* error);
    bool LoadText(QWidget* host, const QByteArray& xml, QString* error);

    // The control of that name, or null.
    QWidget* FindControl(const QString& name) const { return m_controls.value(name, nullptr); }
    template <typename T>
    T* Find(const QString& name) const {
        return qobject_cast<T*>(FindControl(name));
    }
    // The names of every named control.
    QList<QString> Names() const { return m_controls.keys(); }

    // The root's size attribute (empty when it has none).
    QSize InitialSize() const { return m_size; }

    // Receives every notification (none before a handler is set).
    void SetNotifyHandler(NotifyHandler handler) { m_handler = std::move(handler); }

private:
    class Builder;
    void Notify(const char* type, const QString& sender) const;

    QHash<QString, QWidget*> m_controls;
    QSize m_size;
    NotifyHandler m_handler;
};

// A number kept with a control (0 until set).
void SetSkinTag(QWidget* control, int64_t tag);
int64_t GetSkinTag(const QWidget* control);

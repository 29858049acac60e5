#pragma once

#include <QIcon>
#include <QList>
#include <QScrollArea>

class QToolButton;
class QVBoxLayout;

namespace nw {

class Hyperlink;

// `isExplorerBar`: the task-pane menu. Collapsible groups of items with icons; a special group (drawn
// with a strong caption bar) and a details group whose body is a given panel. Keys are kept as given.
class TaskPane : public QScrollArea {
    Q_OBJECT

public:
    // The optional number of AddGroup: 0 makes the special style.
    static constexpr int SpecialGroup = 0;

    explicit TaskPane(QWidget* parent = nullptr);

    void DisableUpdates(bool disable);
    void ClearStructure();
    // Images are numbered from 1; 0 is no image.
    void SetImageList(const QList<QIcon>& images);
    void AddGroup(const QString& key, const QString& caption, int style = -1);
    void AddItem(const QString& groupKey, const QString& itemKey, const QString& caption, int image = 0);
    void SetGroupChild(const QString& groupKey, QWidget* panel);
    void ExpandGroup(const QString& groupKey, bool expanded);

    QStringList groupKeys() const;
    QString groupCaption(const QString& groupKey) const;
    bool isExpanded(const QString& groupKey) const;
    bool isSpecial(const QString& groupKey) const;
    QStringList itemKeys(const QString& groupKey) const;
    // The item's link (the empty key names the spacer row), nullptr when there is none.
    Hyperlink* itemLink(const QString& groupKey, const QString& itemKey) const;
    // The group's caption bar; a click on it expands or collapses the group.
    QWidget* groupHeader(const QString& groupKey) const;

signals:
    void ItemClick(const QString& groupKey, const QString& itemKey);
    void GroupClick(const QString& groupKey);

private:
    struct Item {
        QString key;
        QString caption;
        Hyperlink* link;
    };
    struct Group {
        QString key;
        QWidget* frame;
        QToolButton* header;
        QWidget* body;
        QVBoxLayout* bodyLayout;
        bool special;
        QList<Item> items;
        QList<QWidget*> panels; // given by SetGroupChild; they outlive the menu's structure
    };
    Group* group(const QString& key);
    const Group* group(const QString& key) const;

    QWidget* m_canvas;
    QVBoxLayout* m_layout;
    QList<Group> m_groups;
    QList<QIcon> m_images;
};

} // namespace nw

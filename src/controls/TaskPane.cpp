#include "controls/TaskPane.h"

#include "controls/Hyperlink.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace nw {

namespace {
constexpr int kIconSize = 16;

// The group's caption bar: caption on the left, an arrow that shows whether the group is open.
class GroupHeader : public QToolButton {
public:
    GroupHeader(const QString& caption, bool special, QWidget* parent) : QToolButton(parent)
    {
        setText(caption);
        setCheckable(true);
        setChecked(true);
        setAutoRaise(false);
        setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
        QFont f = font();
        f.setBold(true);
        setFont(f);
        setObjectName(special ? QStringLiteral("specialHeader") : QStringLiteral("groupHeader"));
        updateArrow();
        connect(this, &QToolButton::toggled, this, [this] { updateArrow(); });
    }

private:
    void updateArrow() { setArrowType(isChecked() ? Qt::UpArrow : Qt::DownArrow); }
};
} // namespace

TaskPane::TaskPane(QWidget* parent) : QScrollArea(parent)
{
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_canvas = new QWidget;
    m_canvas->setObjectName(QStringLiteral("taskPaneCanvas"));
    m_canvas->setBackgroundRole(QPalette::Mid);
    m_canvas->setAutoFillBackground(true);
    m_layout = new QVBoxLayout(m_canvas);
    m_layout->setContentsMargins(10, 10, 10, 10);
    m_layout->setSpacing(12);
    m_layout->addStretch(1);
    setWidget(m_canvas);
    // The hover highlight and the two header styles.
    setStyleSheet(
        QStringLiteral("QToolButton#specialHeader { background: palette(highlight); color: palette(highlighted-text);"
                       "  border: none; border-top-left-radius: 5px; border-top-right-radius: 5px; padding: 5px 8px; "
                       "text-align: left; }"
                       "QToolButton#groupHeader { background: palette(button); color: palette(button-text);"
                       "  border: none; border-top-left-radius: 5px; border-top-right-radius: 5px; padding: 5px 8px; "
                       "text-align: left; }"
                       "QToolButton#specialHeader:hover, QToolButton#groupHeader:hover { background: palette(dark); }"
                       "QWidget#groupBody { background: palette(base); }"
                       "QWidget#taskItem:hover { background: palette(alternate-base); }"));
}

void TaskPane::DisableUpdates(bool disable) { setUpdatesEnabled(!disable); }

void TaskPane::ClearStructure()
{
    for (const Group& g : std::as_const(m_groups)) {
        for (QWidget* panel : g.panels) {
            panel->hide();
            panel->setParent(this);
        }
        delete g.frame;
    }
    m_groups.clear();
}

void TaskPane::SetImageList(const QList<QIcon>& images) { m_images = images; }

void TaskPane::AddGroup(const QString& key, const QString& caption, int style)
{
    auto* frame = new QWidget(m_canvas);
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    const bool special = style == SpecialGroup;
    auto* header = new GroupHeader(caption, special, frame);
    auto* body = new QWidget(frame);
    body->setObjectName(QStringLiteral("groupBody"));
    body->setAttribute(Qt::WA_StyledBackground);
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(8, 6, 8, 8);
    bodyLayout->setSpacing(2);
    column->addWidget(header);
    column->addWidget(body);
    m_layout->insertWidget(m_layout->count() - 1, frame);
    m_groups.append({key, frame, header, body, bodyLayout, special, {}, {}});
    connect(header, &QToolButton::clicked, this, [this, key, header] {
        ExpandGroup(key, header->isChecked());
        emit GroupClick(key);
    });
}

void TaskPane::AddItem(const QString& groupKey, const QString& itemKey, const QString& caption, int image)
{
    Group* g = group(groupKey);
    if (!g)
        return;
    auto* row = new QWidget(g->body);
    row->setObjectName(QStringLiteral("taskItem"));
    row->setAttribute(Qt::WA_StyledBackground);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(2, 2, 2, 2);
    line->setSpacing(6);
    auto* icon = new QLabel(row);
    icon->setFixedSize(kIconSize, kIconSize);
    if (image >= 1 && image <= m_images.size())
        icon->setPixmap(m_images.at(image - 1).pixmap(kIconSize, kIconSize));
    auto* link = new Hyperlink(caption, row);
    link->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    line->addWidget(icon);
    line->addWidget(link);
    if (caption.isEmpty())
        link->setFocusPolicy(Qt::NoFocus);
    g->bodyLayout->addWidget(row);
    g->items.append({itemKey, caption, link});
    connect(link, &Hyperlink::clicked, this, [this, groupKey, itemKey] { emit ItemClick(groupKey, itemKey); });
}

void TaskPane::SetGroupChild(const QString& groupKey, QWidget* panel)
{
    Group* g = group(groupKey);
    if (!g)
        return;
    g->bodyLayout->addWidget(panel);
    panel->show();
    g->panels.append(panel);
}

void TaskPane::ExpandGroup(const QString& groupKey, bool expanded)
{
    Group* g = group(groupKey);
    if (!g)
        return;
    g->body->setVisible(expanded);
    g->header->setChecked(expanded);
}

QStringList TaskPane::groupKeys() const
{
    QStringList keys;
    for (const Group& g : m_groups)
        keys << g.key;
    return keys;
}

QString TaskPane::groupCaption(const QString& groupKey) const
{
    const Group* g = group(groupKey);
    return g ? g->header->text() : QString();
}

bool TaskPane::isExpanded(const QString& groupKey) const
{
    const Group* g = group(groupKey);
    return g && !g->body->isHidden();
}

bool TaskPane::isSpecial(const QString& groupKey) const
{
    const Group* g = group(groupKey);
    return g && g->special;
}

QStringList TaskPane::itemKeys(const QString& groupKey) const
{
    QStringList keys;
    if (const Group* g = group(groupKey))
        for (const Item& i : g->items)
            keys << i.key;
    return keys;
}

Hyperlink* TaskPane::itemLink(const QString& groupKey, const QString& itemKey) const
{
    if (const Group* g = group(groupKey))
        for (const Item& i : g->items)
            if (i.key == itemKey)
                return i.link;
    return nullptr;
}

QWidget* TaskPane::groupHeader(const QString& groupKey) const
{
    const Group* g = group(groupKey);
    return g ? g->header : nullptr;
}

TaskPane::Group* TaskPane::group(const QString& key)
{
    for (Group& g : m_groups)
        if (g.key == key)
            return &g;
    return nullptr;
}

const TaskPane::Group* TaskPane::group(const QString& key) const { return const_cast<TaskPane*>(this)->group(key); }

} // namespace nw

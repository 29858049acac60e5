#include "whois/frmWhois.h"

#include "controls/CaptionFrame.h"
#include "controls/Hyperlink.h"
#include "road/WhoisStage.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace nw {

frmWhois::frmWhois(WhoisStage& stage, QWidget* parent) : QWidget(parent), m_stage(stage)
{
    setWindowTitle(QStringLiteral("WhoIs"));
    supInput = new CaptionFrame(QStringLiteral("Whois setup"), this);
    Text1 = new QLineEdit(supInput);
    Text2 = new QLineEdit(supInput);
    Command1 = new QPushButton(QStringLiteral("Whois"), supInput);
    hlnkWhois = new Hyperlink(QStringLiteral("Whois"), supInput);
    txtEmailList = new QPlainTextEdit(supInput);
    txtEmailList->setMaximumHeight(90);
    lblstatus = new QLabel(supInput);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("IP Address:"), Text1);
    form->addRow(QStringLiteral("Whois Server:"), Text2);
    supInput->body()->addLayout(form);
    auto* actions = new QHBoxLayout;
    actions->addWidget(hlnkWhois);
    actions->addWidget(lblstatus, 1);
    actions->addWidget(Command1);
    supInput->body()->addLayout(actions);
    supInput->body()->addWidget(txtEmailList);

    supResults = new CaptionFrame(QStringLiteral("Whois Results"), this);
    Whois1 = new QPlainTextEdit(supResults);
    Whois1->setReadOnly(true);
    Whois1->setLineWrapMode(QPlainTextEdit::NoWrap);
    supResults->body()->addWidget(Whois1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(supInput);
    layout->addWidget(supResults, 1);

    showFields();
    connect(&m_stage, &WhoisStage::fieldsChanged, this, &frmWhois::showFields);
    connect(&m_stage.Whois1, &WhoIs::resultsChanged, Whois1, &QPlainTextEdit::setPlainText);
    connect(Text1, &QLineEdit::textEdited, &m_stage, &WhoisStage::setText1);
    connect(txtEmailList, &QPlainTextEdit::textChanged, this, [this] {
        m_stage.setTxtEmailList(txtEmailList->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
    });
    connect(Command1, &QPushButton::clicked, &m_stage, &WhoisStage::Command1_Click);
    connect(hlnkWhois, &Hyperlink::clicked, &m_stage, &WhoisStage::hlnkWhois_Click);
}

void frmWhois::showFields()
{
    const QSignalBlocker block(txtEmailList);
    if (Text1->text() != m_stage.Text1())
        Text1->setText(m_stage.Text1());
    Text2->setText(m_stage.Text2());
    lblstatus->setText(m_stage.lblstatus());
    QString list = m_stage.txtEmailList();
    if (txtEmailList->toPlainText() != list.remove(QLatin1Char('\r')))
        txtEmailList->setPlainText(list);
}

} // namespace nw

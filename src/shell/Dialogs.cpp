// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Dialogs.h"

#include "FocusReturn.h"
#include "MessageBox.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace quorvel {

namespace {

PathAsker &pathAsker()
{
    static PathAsker asker;
    return asker;
}

PrintAsker &printAsker()
{
    static PrintAsker asker;
    return asker;
}

QuestionAsker &questionAsker()
{
    static QuestionAsker asker;
    return asker;
}

} // namespace

PathAsker setPathAsker(PathAsker asker)
{
    return std::exchange(pathAsker(), std::move(asker));
}

PrintAsker setPrintAsker(PrintAsker asker)
{
    return std::exchange(printAsker(), std::move(asker));
}

QuestionAsker setQuestionAsker(QuestionAsker asker)
{
    return std::exchange(questionAsker(), std::move(asker));
}

QString askSavePath(QWidget *parent, const SaveRequest &request, bool *chosen)
{
    if (pathAsker())
        return pathAsker()(parent, request);
    const FocusReturn focusReturn(parent);
    QFileDialog dialog(parent, request.title, request.folder);
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.suggestedName.isEmpty())
        dialog.selectFile(request.suggestedName);
    QPointer<QCheckBox> box;
    auto *grid = qobject_cast<QGridLayout *>(dialog.layout());
    if (grid && !request.choice.isEmpty()) {
        box = new QCheckBox(request.choice);
        box->setObjectName(QStringLiteral("SaveChoice"));
        box->setChecked(request.choiceChecked);
        grid->addWidget(box, grid->rowCount(), 0, 1, -1);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    if (box && chosen)
        *chosen = box->isChecked();
    return dialog.selectedFiles().constFirst();
}

bool askToPrint(QWidget *parent, QPrinter &printer, const QString &suggestedFile,
                const QString &choiceTab, const QString &choice, bool *chosen)
{
    if (printAsker())
        return printAsker()(parent, printer);
    const FocusReturn focusReturn(parent);
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    // Qt's dialog offers a file in the working folder, named after the document; its field is
    // reached by the name Qt gives it (setting the printer's file name instead would choose
    // printing to a file for the user).
    if (auto *file = dialog.findChild<QLineEdit *>(QStringLiteral("filename")))
        file->setText(QDir::toNativeSeparators(suggestedFile));
    QPointer<QCheckBox> box;
    if (!choice.isEmpty()) {
        auto *tab = new QWidget;
        tab->setWindowTitle(choiceTab);
        auto *layout = new QVBoxLayout(tab);
        box = new QCheckBox(choice, tab);
        box->setObjectName(QStringLiteral("PrintChoice"));
        box->setChecked(chosen && *chosen);
        layout->addWidget(box);
        layout->addStretch();
        dialog.setOptionTabs({tab});
    }
    const bool printing = dialog.exec() == QDialog::Accepted;
    if (printing && box && chosen)
        *chosen = box->isChecked();
    return printing;
}

bool askYesNo(QWidget *parent, const QString &question)
{
    if (questionAsker())
        return questionAsker()(parent, question);
    const FocusReturn focusReturn(parent);
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf16(kApplicationTitle), question,
                    QMessageBox::NoButton, parent);
    QPushButton *yes = box.addButton(QStringLiteral("Sì"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace quorvel

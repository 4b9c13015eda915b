// The editor window's two "Format Actions" toolbars: character and paragraph
// formats applied to the text area, and the toolbar state that follows the
// format at the text cursor.
#include "editor/textedit.h"

#include "editor/ctextcheckeredit.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextList>
#include <QToolBar>

void TextEdit::setupTextActions()
{
    QToolBar *tb = addToolBar(tr("Format Actions"));

    actionTextBold = addAction(tb, QStringLiteral("format-text-bold"), QStringLiteral("/textbold.png"), tr("&Bold"));
    actionTextBold->setShortcut(Qt::CTRL | Qt::Key_B);
    QFont bold;
    bold.setBold(true);
    actionTextBold->setFont(bold);
    actionTextBold->setCheckable(true);
    connect(actionTextBold, &QAction::triggered, this, &TextEdit::textBold);

    actionTextItalic = addAction(tb, QStringLiteral("format-text-italic"), QStringLiteral("/textitalic.png"), tr("&Italic"));
    actionTextItalic->setShortcut(Qt::CTRL | Qt::Key_I);
    QFont italic;
    italic.setItalic(true);
    actionTextItalic->setFont(italic);
    actionTextItalic->setCheckable(true);
    connect(actionTextItalic, &QAction::triggered, this, &TextEdit::textItalic);

    actionTextUnderline = addAction(tb, QStringLiteral("format-text-underline"), QStringLiteral("/textunder.png"), tr("&Underline"));
    actionTextUnderline->setShortcut(Qt::CTRL | Qt::Key_U);
    QFont underline;
    underline.setUnderline(true);
    actionTextUnderline->setFont(underline);
    actionTextUnderline->setCheckable(true);
    connect(actionTextUnderline, &QAction::triggered, this, &TextEdit::textUnderline);

    // The group is filled first and its actions placed on the toolbar after,
    // in an order that follows the layout direction.
    QActionGroup *grp = new QActionGroup(this);
    connect(grp, &QActionGroup::triggered, this, &TextEdit::textAlign);
    auto alignAction = [&](const QString &theme, const QString &file, const QString &text,
                           QKeyCombination key) {
        QAction *a = new QAction(toolIcon(theme, file), text, grp);
        a->setShortcut(key);
        a->setCheckable(true);
        return a;
    };
    if (QApplication::isLeftToRight()) {
        actionAlignLeft = alignAction(QStringLiteral("format-justify-left"), QStringLiteral("/textleft.png"), tr("&Left"), Qt::CTRL | Qt::Key_L);
        actionAlignCenter = alignAction(QStringLiteral("format-justify-center"), QStringLiteral("/textcenter.png"), tr("C&enter"), Qt::CTRL | Qt::Key_E);
        actionAlignRight = alignAction(QStringLiteral("format-justify-right"), QStringLiteral("/textright.png"), tr("&Right"), Qt::CTRL | Qt::Key_R);
    } else {
        actionAlignRight = alignAction(QStringLiteral("format-justify-right"), QStringLiteral("/textright.png"), tr("&Right"), Qt::CTRL | Qt::Key_R);
        actionAlignCenter = alignAction(QStringLiteral("format-justify-center"), QStringLiteral("/textcenter.png"), tr("C&enter"), Qt::CTRL | Qt::Key_E);
        actionAlignLeft = alignAction(QStringLiteral("format-justify-left"), QStringLiteral("/textleft.png"), tr("&Left"), Qt::CTRL | Qt::Key_L);
    }
    actionAlignJustify = alignAction(QStringLiteral("format-justify-fill"), QStringLiteral("/textjustify.png"), tr("&Justify"), Qt::CTRL | Qt::Key_J);
    tb->addActions(grp->actions());

    QPixmap swatch(24, 24);
    swatch.fill(Qt::black);
    actionTextColor = new QAction(QIcon(swatch), tr("&Color..."), this);
    connect(actionTextColor, &QAction::triggered, this, &TextEdit::textColor);
    tb->addAction(actionTextColor);

    tb = new QToolBar(this);
    tb->setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
    tb->setWindowTitle(tr("Format Actions"));
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(tb);

    comboStyle = new QComboBox(tb);
    tb->addWidget(comboStyle);
    comboStyle->addItems({tr("Standard"),
                          tr("Bullet List (Disc)"),
                          tr("Bullet List (Circle)"),
                          tr("Bullet List (Square)"),
                          tr("Ordered List (Decimal)"),
                          tr("Ordered List (Alpha lower)"),
                          tr("Ordered List (Alpha upper)"),
                          tr("Ordered List (Roman lower)"),
                          tr("Ordered List (Roman upper)")});
    connect(comboStyle, &QComboBox::activated, this, &TextEdit::textStyle);

    comboFont = new QFontComboBox(tb);
    tb->addWidget(comboFont);
    connect(comboFont, &QComboBox::textActivated, this, &TextEdit::textFamily);

    comboSize = new QComboBox(tb);
    comboSize->setObjectName(QStringLiteral("comboSize"));
    tb->addWidget(comboSize);
    comboSize->setEditable(true);
    const QList<int> sizes = QFontDatabase::standardSizes();
    for (const int size : sizes)
        comboSize->addItem(QString::number(size));
    connect(comboSize, &QComboBox::textActivated, this, &TextEdit::textSize);
    comboSize->setCurrentIndex(sizes.indexOf(QApplication::font().pointSize()));
}

void TextEdit::textBold()
{
    QTextCharFormat fmt;
    fmt.setFontWeight(actionTextBold->isChecked() ? QFont::Bold : QFont::Normal);
    mergeFormatOnWordOrSelection(fmt);
}

void TextEdit::textItalic()
{
    QTextCharFormat fmt;
    fmt.setFontItalic(actionTextItalic->isChecked());
    mergeFormatOnWordOrSelection(fmt);
}

void TextEdit::textUnderline()
{
    QTextCharFormat fmt;
    fmt.setFontUnderline(actionTextUnderline->isChecked());
    mergeFormatOnWordOrSelection(fmt);
}

void TextEdit::textFamily(const QString &family)
{
    QTextCharFormat fmt;
    fmt.setFontFamilies({family});
    mergeFormatOnWordOrSelection(fmt);
}

void TextEdit::textSize(const QString &size)
{
    const qreal pointSize = size.toDouble();
    if (pointSize > 0) {
        QTextCharFormat fmt;
        fmt.setFontPointSize(pointSize);
        mergeFormatOnWordOrSelection(fmt);
    }
}

void TextEdit::textStyle(int styleIndex)
{
    QTextCursor cursor = textEdit->textCursor();
    if (styleIndex == 0) {
        // Merging a format cannot remove the list property, so the
        // paragraph leaves its list explicitly.
        cursor.beginEditBlock();
        if (QTextList *list = cursor.currentList()) {
            list->remove(cursor.block());
            QTextBlockFormat bfmt = cursor.blockFormat();
            bfmt.setObjectIndex(-1);
            cursor.setBlockFormat(bfmt);
        }
        cursor.endEditBlock();
        return;
    }

    static const QTextListFormat::Style styles[] = {
        QTextListFormat::ListDisc,       QTextListFormat::ListCircle,
        QTextListFormat::ListSquare,     QTextListFormat::ListDecimal,
        QTextListFormat::ListLowerAlpha, QTextListFormat::ListUpperAlpha,
        QTextListFormat::ListLowerRoman, QTextListFormat::ListUpperRoman,
    };
    const QTextListFormat::Style style =
        styleIndex >= 1 && styleIndex <= 8 ? styles[styleIndex - 1] : QTextListFormat::ListDisc;

    cursor.beginEditBlock();
    QTextBlockFormat blockFmt = cursor.blockFormat();
    QTextListFormat listFmt;
    if (cursor.currentList()) {
        listFmt = cursor.currentList()->format();
    } else {
        listFmt.setIndent(blockFmt.indent() + 1);
        blockFmt.setIndent(0);
        cursor.setBlockFormat(blockFmt);
    }
    listFmt.setStyle(style);
    cursor.createList(listFmt);
    cursor.endEditBlock();
}

void TextEdit::textColor()
{
    const QColor col = QColorDialog::getColor(textEdit->textColor(), this);
    if (!col.isValid())
        return;
    QTextCharFormat fmt;
    fmt.setForeground(col);
    mergeFormatOnWordOrSelection(fmt);
    colorChanged(col);
}

void TextEdit::textAlign(QAction *action)
{
    if (action == actionAlignLeft)
        textEdit->setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    else if (action == actionAlignCenter)
        textEdit->setAlignment(Qt::AlignHCenter);
    else if (action == actionAlignRight)
        textEdit->setAlignment(Qt::AlignRight | Qt::AlignAbsolute);
    else if (action == actionAlignJustify)
        textEdit->setAlignment(Qt::AlignJustify);
}

void TextEdit::currentCharFormatChanged(const QTextCharFormat &format)
{
    fontChanged(format.font());
    colorChanged(format.foreground().color());
}

void TextEdit::cursorPositionChanged()
{
    alignmentChanged(textEdit->alignment());
}

void TextEdit::mergeFormatOnWordOrSelection(const QTextCharFormat &format)
{
    QTextCursor cursor = textEdit->textCursor();
    if (!cursor.hasSelection())
        cursor.select(QTextCursor::WordUnderCursor);
    cursor.mergeCharFormat(format);
    textEdit->mergeCurrentCharFormat(format);
}

void TextEdit::fontChanged(const QFont &font)
{
    comboFont->setCurrentIndex(comboFont->findText(QFontInfo(font).family()));
    comboSize->setCurrentIndex(comboSize->findText(QString::number(font.pointSizeF())));
    actionTextBold->setChecked(font.bold());
    actionTextItalic->setChecked(font.italic());
    actionTextUnderline->setChecked(font.underline());
}

void TextEdit::colorChanged(const QColor &color)
{
    QPixmap swatch(24, 24);
    swatch.fill(color);
    actionTextColor->setIcon(swatch);
}

void TextEdit::alignmentChanged(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignLeft)
        actionAlignLeft->setChecked(true);
    else if (alignment & Qt::AlignHCenter)
        actionAlignCenter->setChecked(true);
    else if (alignment & Qt::AlignRight)
        actionAlignRight->setChecked(true);
    else if (alignment & Qt::AlignJustify)
        actionAlignJustify->setChecked(true);
}

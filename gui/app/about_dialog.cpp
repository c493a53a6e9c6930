#include "app/about_dialog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "platform/version.h"
#include "widgets/dialog_units.h"
#include "widgets/icons.h"
#include "widgets/link_buttons.h"

namespace mvgui {
namespace {

// The build's default author, for the translations; a name chosen at build time shows as it is.
[[maybe_unused]] constexpr const char* kDefaultAuthor =
    QT_TRANSLATE_NOOP("mvgui::AboutDialog", "Morvatelline 项目组");

}  // namespace

QString AboutDialog::authorName() { return QString(MORV_AUTHOR_NAME); }
QString AboutDialog::contactAddress() { return QString(MORV_CONTACT_ADDRESS); }
QString AboutDialog::homePage() { return QString(MORV_HOME_PAGE); }

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("关于 Morvatelline"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFont(dialogFont());
  const DialogUnits du = DialogUnits::of(font());
  setFixedSize(du.x(233), du.y(79));

  auto label = [&](const QString& text, int x, int y, int w, int h, Qt::Alignment align) {
    auto* l = new QLabel(text, this);
    l->setGeometry(du.rect(x, y, w, h));
    l->setAlignment(align | Qt::AlignTop);
    return l;
  };

  auto* ok = new QPushButton(tr("确定"), this);
  ok->setGeometry(du.rect(194, 28, 32, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  controls_[1] = ok;

  name_ = label(QString("Morvatelline %1").arg(mv::kVersion), 7, 7, 219, 8, Qt::AlignHCenter);
  label(tr("作者:"), 37, 21, 29, 8, Qt::AlignRight);
  auto* author = label(tr(MORV_AUTHOR_NAME), 71, 21, 17, 8, Qt::AlignLeft);
  // The name is chosen at build time; a longer one than the place was drawn for still shows whole.
  const int nameWidth = QFontMetrics(font()).horizontalAdvance(author->text());
  if (nameWidth > author->width()) author->resize(nameWidth, author->height());
  controls_[118] = author;
  label(tr("电邮:"), 37, 30, 29, 8, Qt::AlignRight);
  label(tr("主页:"), 37, 40, 29, 8, Qt::AlignRight);

  mail_ = new HyperlinkLabel(contactAddress(), this);
  mail_->setGeometry(du.rect(71, 30, 84, 8));
  mail_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  mail_->Attach();
  mail_->SetLinkTarget("mailto:" + contactAddress());
  controls_[1008] = mail_;

  homePage_ = new HyperlinkLabel(homePage(), this);
  homePage_->setGeometry(du.rect(71, 40, 115, 8));
  homePage_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  homePage_->Attach();
  homePage_->SetLinkTarget(homePage());
  controls_[1007] = homePage_;

  // The texts come from the build; when one runs into the OK button, the button and the box
  // make room rather than the text being covered.
  int textRight = 0;
  for (QWidget* w :
       {static_cast<QWidget*>(author), static_cast<QWidget*>(mail_), static_cast<QWidget*>(homePage_)})
    textRight = std::max(textRight, w->geometry().right());
  if (const int shift = textRight + du.x(4) - ok->x(); shift > 0) {
    ok->move(ok->x() + shift, ok->y());
    setFixedSize(width() + shift, height());
  }

  auto* icon = new QLabel(this);
  icon->setPixmap(iconPixmap(128));
  icon->move(du.x(7), du.y(51));
  icon->resize(icon->pixmap().size());
}

QWidget* AboutDialog::control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

}  // namespace mvgui

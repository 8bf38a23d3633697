#include "toolkit/help/HelpViewer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace ostrel {

HelpViewer::HelpViewer(QString helpFile, QWidget* parent)
    : QWidget(parent, Qt::Window),
      helpFile_(std::move(helpFile)),
      filterLabel_(new QLabel(tr("&Type a word to find it in the index:"))),
      filter_(new QLineEdit),
      list_(new QListWidget),
      topic_(new QTextBrowser) {
  setObjectName(QStringLiteral("HelpViewer"));
  setAttribute(Qt::WA_DeleteOnClose);
  // Help stands beside the program, as a separate viewer would: it neither
  // keeps the program running nor counts as its last window.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(760, 520);

  filterLabel_->setObjectName(QStringLiteral("helpFilterLabel"));
  filterLabel_->setBuddy(filter_);
  filter_->setObjectName(QStringLiteral("helpFilter"));
  filter_->setClearButtonEnabled(true);
  filter_->installEventFilter(this);
  list_->setObjectName(QStringLiteral("helpIndex"));
  topic_->setObjectName(QStringLiteral("helpTopic"));
  topic_->setOpenLinks(false);

  auto* indexPane = new QWidget;
  indexPane->setObjectName(QStringLiteral("helpIndexPane"));
  auto* indexLayout = new QVBoxLayout(indexPane);
  indexLayout->setContentsMargins(0, 0, 0, 0);
  indexLayout->addWidget(filterLabel_);
  indexLayout->addWidget(filter_);
  indexLayout->addWidget(list_);

  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->setObjectName(QStringLiteral("helpSplitter"));
  splitter->addWidget(indexPane);
  splitter->addWidget(topic_);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 3);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter);

  connect(filter_, &QLineEdit::textChanged, this, &HelpViewer::refill);
  connect(filter_, &QLineEdit::returnPressed, this, [this] { onRowChanged(list_->currentRow()); });
  connect(list_, &QListWidget::currentRowChanged, this, &HelpViewer::onRowChanged);
  connect(list_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { onRowChanged(list_->row(item)); });
  connect(topic_, &QTextBrowser::anchorClicked, this, &HelpViewer::onAnchorClicked);
}

void HelpViewer::setBook(const HelpBook& book) {
  book_ = book;
  // The first topic's title names the book, as a help file's title would.
  setWindowTitle(book_.isEmpty() ? tr("%1 - Help").arg(QFileInfo(helpFile_).fileName())
                                 : book_.topics()[0].title);
  refill();
  showTopic(0);
}

void HelpViewer::showIndex(const QString& filter) {
  if (filter_->text() == filter)
    refill();
  else
    filter_->setText(filter);  // refills through textChanged
  if (filter.trimmed().isEmpty()) showTopic(0);
  filter_->setFocus();
  filter_->selectAll();
}

bool HelpViewer::showKeyword(const QString& keyword) {
  const int topic = book_.findTopic(keyword);
  if (topic < 0) {
    showIndex(keyword);
    return false;
  }
  showTopic(topic);
  return true;
}

void HelpViewer::showTopic(int topic) {
  if (book_.isEmpty()) {
    current_ = -1;
    topic_->setMarkdown(tr("This help file has no topics."));
    return;
  }
  if (topic < 0 || topic >= book_.topics().size()) return;
  current_ = topic;
  topic_->setMarkdown(book_.markdownOf(topic));
}

void HelpViewer::refill() {
  shown_ = book_.matching(filter_->text());
  const QSignalBlocker quiet(list_);
  list_->clear();
  for (const HelpBook::IndexEntry& entry : shown_) {
    // A keyword several topics share is told apart by the topic's title.
    const bool shared = std::count_if(shown_.begin(), shown_.end(), [&](const auto& other) {
                          return other.keyword.compare(entry.keyword, Qt::CaseInsensitive) == 0;
                        }) > 1;
    list_->addItem(shared ? tr("%1 (%2)").arg(entry.keyword, book_.topics()[entry.topic].title)
                          : entry.keyword);
  }
  if (!filter_->text().trimmed().isEmpty() && !shown_.isEmpty()) {
    list_->setCurrentRow(0);
    showTopic(shown_[0].topic);
  }
}

void HelpViewer::onRowChanged(int row) {
  if (row >= 0 && row < shown_.size()) showTopic(shown_[row].topic);
}

void HelpViewer::onAnchorClicked(const QUrl& url) {
  if (url.scheme() == QLatin1String("topic")) showKeyword(url.path(QUrl::FullyDecoded));
}

bool HelpViewer::eventFilter(QObject* watched, QEvent* event) {
  // Up and down in the search box walk the index, as in an index dialog.
  if (watched == filter_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
        key == Qt::Key_PageDown) {
      QCoreApplication::sendEvent(list_, event);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace ostrel

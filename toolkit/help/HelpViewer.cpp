#include "toolkit/help/HelpViewer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
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
      topic_(new QTextBrowser),
      back_(new QToolButton) {
  setObjectName(QStringLiteral("HelpViewer"));
  setAttribute(Qt::WA_DeleteOnClose);
  // Help stands beside the program, as a separate viewer would: it neither
  // keeps the program running nor counts as its last window.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(760, 520);
  // Beside a small window on a small screen it may have to be narrower.
  setMinimumSize(360, 260);

  filterLabel_->setObjectName(QStringLiteral("helpFilterLabel"));
  filterLabel_->setBuddy(filter_);
  // Over two lines where the window is narrow, so the index takes its share
  // of the width and the topic keeps the rest.
  filterLabel_->setWordWrap(true);
  filter_->setObjectName(QStringLiteral("helpFilter"));
  filter_->setClearButtonEnabled(true);
  filter_->installEventFilter(this);
  list_->setObjectName(QStringLiteral("helpIndex"));
  list_->setAccessibleName(tr("Index"));
  topic_->setObjectName(QStringLiteral("helpTopic"));
  topic_->setAccessibleName(tr("Topic"));
  topic_->setOpenLinks(false);
  // Lines break between words only: a narrow pane (a small or magnified
  // screen) would otherwise cut a heading's long word in two.
  topic_->setWordWrapMode(QTextOption::WordWrap);
  topic_->installEventFilter(this);
  back_->setObjectName(QStringLiteral("helpBack"));
  back_->setText(tr("Back"));
  back_->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
  back_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  back_->setEnabled(false);

  auto* indexPane = new QWidget;
  indexPane->setObjectName(QStringLiteral("helpIndexPane"));
  auto* indexLayout = new QVBoxLayout(indexPane);
  indexLayout->setContentsMargins(0, 0, 0, 0);
  indexLayout->addWidget(filterLabel_);
  indexLayout->addWidget(filter_);
  indexLayout->addWidget(list_);

  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->setObjectName(QStringLiteral("helpSplitter"));
  auto* topicPane = new QWidget;
  auto* topicLayout = new QVBoxLayout(topicPane);
  topicLayout->setContentsMargins(0, 0, 0, 0);
  topicLayout->addWidget(back_, 0, Qt::AlignLeft);
  topicLayout->addWidget(topic_);
  splitter->addWidget(indexPane);
  splitter->addWidget(topicPane);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 3);
  // The index as wide as its entries in the window's first size; a
  // narrower window takes most of the difference from the topic.
  splitter->setSizes({215, 525});
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter);

  connect(filter_, &QLineEdit::textChanged, this, &HelpViewer::refill);
  connect(filter_, &QLineEdit::returnPressed, this, [this] { onRowChanged(list_->currentRow()); });
  connect(list_, &QListWidget::currentRowChanged, this, &HelpViewer::onRowChanged);
  connect(list_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { onRowChanged(list_->row(item)); });
  connect(topic_, &QTextBrowser::anchorClicked, this, &HelpViewer::onAnchorClicked);
  connect(back_, &QToolButton::clicked, this, &HelpViewer::back);
  // Backspace only where no text box wants it: the filter box takes it first.
  for (const QKeySequence& key :
       {QKeySequence(QKeySequence::Back), QKeySequence(Qt::Key_Backspace)}) {
    connect(new QShortcut(key, this), &QShortcut::activated, this, &HelpViewer::back);
  }
  for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::Close) +
                                     QList<QKeySequence>{QKeySequence(Qt::Key_Escape)}) {
    connect(new QShortcut(key, this), &QShortcut::activated, this, &QWidget::close);
  }
}

void HelpViewer::setBook(const HelpBook& book) {
  book_ = book;
  history_.clear();
  back_->setEnabled(false);
  refill();
  showTopic(0);
}

void HelpViewer::showTitle() {
  // The first topic's title names the book, as a help file's title would;
  // another topic is named before it.
  if (book_.isEmpty()) {
    setWindowTitle(tr("%1 - Help").arg(QFileInfo(helpFile_).fileName()));
  } else if (current_ <= 0) {
    setWindowTitle(book_.topics()[0].title);
  } else {
    setWindowTitle(tr("%1 - %2").arg(book_.topics()[current_].title, book_.topics()[0].title));
  }
}

void HelpViewer::back() {
  if (history_.isEmpty()) return;
  showTopic(history_.takeLast());
  back_->setEnabled(!history_.isEmpty());
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
    showTitle();
    return;
  }
  if (topic < 0 || topic >= book_.topics().size()) return;
  current_ = topic;
  topic_->setMarkdown(book_.markdownOf(topic));
  showTitle();
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
  if (row >= 0 && row < shown_.size()) navigate(shown_[row].topic);
}

void HelpViewer::navigate(int topic) {
  if (topic == current_ || topic < 0 || topic >= book_.topics().size()) return;
  if (current_ >= 0) history_.append(current_);
  back_->setEnabled(true);
  showTopic(topic);
}

void HelpViewer::onAnchorClicked(const QUrl& url) {
  if (url.scheme() != QLatin1String("topic")) return;
  const int topic = book_.findTopic(url.path(QUrl::FullyDecoded));
  if (topic >= 0) navigate(topic);
}

bool HelpViewer::eventFilter(QObject* watched, QEvent* event) {
  // The topic pane would take Alt+Left for a history of its own, which it
  // does not have here.
  if (watched == topic_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Back) || key->key() == Qt::Key_Backspace) {
      back();
      return true;
    }
  }
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

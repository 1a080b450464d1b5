#pragma once

// Answers to the modal windows that the code under test opens, given from
// timers while that code waits in the window's loop; and a record of the
// windows that open when none should.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>

namespace testing {

// Answers the next modal window of type T. Gives up after about five
// seconds, or when `owner` goes.
template <class T>
void AnswerNext(std::function<void(T*)> answer, QObject* owner = QCoreApplication::instance()) {
    auto* poller = new QTimer(owner);
    poller->setInterval(10);
    auto polls = std::make_shared<int>(0);
    QObject::connect(poller, &QTimer::timeout, poller, [poller, polls, answer = std::move(answer)] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poller->stop();
            poller->deleteLater();
            answer(dialog);
        } else if (++*polls > 500) {
            poller->stop();
            poller->deleteLater();
        }
    });
    poller->start();
}

// Answers the next modal message box with `button`, and records what it
// said.
class MessageBoxAnswer : public QObject {
public:
    explicit MessageBoxAnswer(QMessageBox::StandardButton button) {
        AnswerNext<QMessageBox>(
            [this, button](QMessageBox* box) {
                text = box->text();
                title = box->windowTitle();
                icon = box->icon();
                answered = true;
                if (QAbstractButton* pressed = box->button(button)) {
                    pressed->click();
                } else {
                    box->done(button);
                }
            },
            this);
    }
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool answered = false;
};

// Records the class of every window that is shown while it lives, and
// closes each at once: a command that should open nothing then fails its
// test instead of waiting for a user.
class ShownWindows : public QObject {
public:
    ShownWindows() { QCoreApplication::instance()->installEventFilter(this); }
    QStringList classes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && widget != nullptr && widget->isWindow() &&
            !widget->inherits("QMenu")) {
            classes << QString::fromLatin1(widget->metaObject()->className());
            QTimer::singleShot(0, widget, &QWidget::close);
        }
        return false;
    }
};

} // namespace testing

#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

namespace testing {

// Answers the next modal dialog of type T, from a timer, while the code
// under test waits in that dialog's loop. Gives up after about five seconds,
// or when `owner` goes.
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

} // namespace testing

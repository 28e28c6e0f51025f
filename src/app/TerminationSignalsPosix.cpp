// Termination signals on POSIX systems: the handler only writes a byte to a socket pair; the
// event loop reads it and closes the windows, so nothing but write() runs inside the handler.
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <csignal>

#include "app/TerminationSignals.h"

namespace zk4 {
namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminate(int) {
    const char byte = 1;
    (void)!::write(g_signalPipe[1], &byte, 1);
}

}  // namespace

void EndOnTerminationSignals(QDialog& dialog) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &dialog);
    QObject::connect(notifier, &QSocketNotifier::activated, &dialog, [&dialog] {
        char byte = 0;
        (void)!::read(g_signalPipe[0], &byte, 1);
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QDialog*>(window);
            if (box != nullptr && box != &dialog && box->isVisible()) {
                box->reject();
            }
        }
        dialog.reject();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace zk4

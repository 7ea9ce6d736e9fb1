// Main: lets one copy run per user and work root. A second copy hands its command line over
// to the running one, which raises its window, and ends.
#include "platform/product.h"
#include "platform/textcodec.h"
#include "platform/ui/icons.h"
#include "platform/ui/interaction.h"
#include "platform/uilocale.h"
#include "platform/workfolders.h"
#include "shell/activationtoken.h"
#include "shell/handover.h"
#include "shell/lastcleanup.h"
#include "shell/ui/mainwindow.h"
#include "shell/ui/shelllog.h"
#include "shell/ui/singleinstance.h"
#include "shell/ui/terminationsignals.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[]) {
    // Before the toolkit starts: its X11 plugin takes the startup ID out of the environment.
    const qen::ActivationToken token = qen::ActivationToken::fromEnvironment();
    QApplication app(argc, argv);
    QApplication::setApplicationName(qen::product::name());
    QApplication::setApplicationVersion(qen::product::version());
    // Qt's own texts (dialog buttons, the file dialog) in the program's language.
    const QLocale locale = qen::UiLocale(QLocale::system());
    QLocale::setDefault(locale);
    QTranslator qtTexts;
    const QString catalogue =
        qen::QtCatalogue(locale, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!catalogue.isEmpty() && qtTexts.load(catalogue))
        QApplication::installTranslator(&qtTexts);
    // Ties the window to its desktop entry (its icon and name in the task switcher).
    QGuiApplication::setDesktopFileName(QStringLiteral(QEN_APP_ID));
    QApplication::setWindowIcon(qen::icons::programIcon());

    const QString root = qen::WorkFolders::defaultRoot();
    const qen::WorkFolders folders(
        root, qen::WorkFolders::appPathFor(QApplication::applicationDirPath(), root));
    // Made whole here for both roads: the running copy works in another folder, and a
    // package named relative to this one would otherwise get no base name for its work folder.
    const QString commandLine = qen::handover::absoluteCommandLine(
        qen::handover::commandLine(QApplication::arguments().mid(1)), QDir::currentPath());

    qen::SingleInstance instance(root);
    if (!instance.becomePrimary()) {
        if (!instance.handOver(commandLine, token) && !commandLine.isEmpty() &&
            !qen::handover::write(folders.handoverFile(), commandLine)) {
            std::fprintf(stderr, "qenbrowser: could not hand %s to the running copy\n",
                         qPrintable(commandLine));
            return 1;
        }
        return 0;
    }
    // Alone in this work root now: what a crash, a kill or a lost display left in Temp is no
    // running copy's, and goes before anything new is unpacked there.
    if (instance.holdsLock())
        folders.cleanUp();
    if (!qen::text::gbkAvailable())
        std::fputs("qenbrowser: this Qt build cannot convert GBK text; Chinese titles and "
                   "records will not show correctly.\n",
                   stderr);

    qen::QtInteraction interaction;
    qen::MainWindow window(folders, interaction);
    QObject::connect(&instance, &qen::SingleInstance::commandLineReceived, &window,
                     &qen::MainWindow::HandOver);
    QObject::connect(&instance, &qen::SingleInstance::raiseRequested, &window,
                     [&window](const qen::ActivationToken &token) {
                         qCDebug(lcShell).noquote()
                             << "raise"
                             << (token.isEmpty() ? QByteArray("without token")
                                                 : "with token " + token.value);
                         window.bringToFront(token);
                     });
    // Every way the program can end runs the clean-up: Exit and closing the window (the
    // window's close), a signal, the session ending; the display going away and Qt's fatal
    // errors, which end the process past the event loop, through lastcleanup.
    qen::TerminationSignals termination;
    QObject::connect(&termination, &qen::TerminationSignals::terminationRequested, &window,
                     &QWidget::close);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &qen::MainWindow::CleanUp);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, &qen::MainWindow::CleanUp);
    // Only a holder of the lock may remove lock and socket: another copy's are not ours.
    qen::lastcleanup::arm(&folders, instance.holdsLock()
                                        ? QStringList{instance.socketPath(), instance.lockPath()}
                                        : QStringList());

    window.show();
    window.Form_Load(commandLine);
    const int code = app.exec();
    qen::lastcleanup::disarm();
    return code;
}

// Main: lets one copy run per user and work root. A second copy hands its command line over
// to the running one, asks it to come to the front, and ends.
#include "platform/product.h"
#include "platform/textcodec.h"
#include "platform/ui/icons.h"
#include "platform/ui/interaction.h"
#include "platform/uilocale.h"
#include "platform/workfolders.h"
#include "shell/handover.h"
#include "shell/ui/mainwindow.h"
#include "shell/ui/shelllog.h"
#include "shell/ui/singleinstance.h"
#include "shell/ui/terminationsignals.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

int main(int argc, char *argv[]) {
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
    const QString commandLine = qen::handover::commandLine(QApplication::arguments().mid(1));

    qen::SingleInstance instance(root);
    if (!instance.becomePrimary()) {
        if (!commandLine.isEmpty())
            qen::handover::write(folders.handoverFile(), commandLine);
        instance.askPrimaryToRaise();
        return 0;
    }
    if (!qen::text::gbkAvailable())
        std::fputs("qenbrowser: this Qt build cannot convert GBK text; Chinese titles and "
                   "records will not show correctly.\n",
                   stderr);

    qen::QtInteraction interaction;
    qen::MainWindow window(folders, interaction);
    QObject::connect(&instance, &qen::SingleInstance::raiseRequested, &window, [&window] {
        qCDebug(lcShell) << "raise";
        window.bringToFront();
    });
    qen::TerminationSignals termination;
    QObject::connect(&termination, &qen::TerminationSignals::terminationRequested, &window,
                     &QWidget::close);

    window.show();
    window.Form_Load(commandLine);
    return app.exec();
}

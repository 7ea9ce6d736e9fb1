#include "records/ui/recordcommands.h"

#include "platform/error.h"
#include "platform/ui/fontchoice.h"
#include "platform/ui/interaction.h"
#include "records/fieldfilter.h"
#include "records/ui/outputoptionsdialog.h"
#include "records/ui/recordview.h"

#include <QAction>

namespace qen {

RecordCommands::RecordCommands(RecordView *rihEdit, Interaction &interaction, WorkFolders folders,
                               QAction *lockAction, QObject *parent)
    : QObject(parent), m_view(rihEdit), m_interaction(interaction), m_folders(std::move(folders)),
      m_lock(lockAction) {
    if (m_lock) {
        m_lock->setCheckable(true);
        m_lock->setChecked(true);
        connect(m_lock, &QAction::toggled, this, &RecordCommands::lockToggled);
    }
    if (m_view)
        m_view->setReadOnly(true);
}

QString RecordCommands::settingsFile() const {
    return m_folders.setting() + QStringLiteral("/Output.ini");
}

void RecordCommands::FilterRecord() {
    if (!m_view || m_view->tag().isEmpty())
        return;
    const QString record = m_view->tag();
    try {
        m_folders.ensure(m_folders.temp());
    } catch (const Error &) {
        // Writing the temporary file then fails and takes the settings-error path below.
    }
    const FilterOutcome outcome = filterRecordFile(record, settingsFile(), m_folders.temp());
    switch (outcome.status) {
    case FilterOutcome::Filtered:
        m_view->loadFile(outcome.output);
        break;
    case FilterOutcome::Unfiltered:
        break;
    case FilterOutcome::SettingsError:
        m_interaction.information(m_view->window(), settingsErrorMessage(settingsFile()));
        m_view->loadFile(record);
        break;
    }
}

void RecordCommands::outputOptions() {
    OutputOptionsDialog dialog(m_folders, m_interaction, m_view ? m_view->window() : nullptr);
    dialog.exec();
    if (dialog.bConfirmed)
        FilterRecord();
}

void RecordCommands::recordFont() {
    if (!m_view)
        return;
    const std::optional<QFont> chosen =
        m_interaction.font(m_view->window(), m_view->font(), QString());
    if (!chosen)
        return;
    m_view->setRecordFont(withChosenFont(m_view->font(), *chosen));
}

void RecordCommands::lockToggled(bool checked) {
    if (m_view)
        m_view->setReadOnly(checked);
}

} // namespace qen

#include "shell/locate_data_path.h"

#include <QFileDialog>

#include "protocol/operator_view.h"
#include "protocol/server_settings.h"
#include "protocol/status_log.h"
#include "shell/config_file.h"
#include "shell/data_path.h"
#include "shell/message_box.h"
#include "shell/qt_text.h"

namespace fidora {

namespace {

std::string DirectoryOf(const std::string& file) {
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

void WriteToConfig(TConfigFile* config, const std::string& directory) {
  if (!config) return;
  try {
    config->WriteString(kConfigSection, kConfigKey, directory);
  } catch (const EInOutError& e) {
    // The directory is still used for this run; the operator learns why it is not kept.
    Operator().ShowInfo(e.what(), "Error");
  }
}

}  // namespace

bool LocateDataPath(TConfigFile* config, const TChooseTrackerFile& choose) {
  bool result = false;
  const std::string initial_dir = ServerSettings().DataPath;
  for (;;) {
    const std::optional<std::string> file = choose(initial_dir);
    if (!file) break;
    const std::string directory = DirectoryOf(*file);
    if (directory == ServerSettings().DataPath) break;
    Operator().ShowDataPath(directory);
    WriteToConfig(config, directory);
    result = SetDataPath(directory);
    if (result) break;
    if (!Operator().AskYesNo(kNoDataPathQuestion, kNoDataPathCaption)) break;
  }
  return result;
}

std::optional<std::string> ChooseTrackerFile(const std::string& initial_dir, QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Locate database files"), FromPath(initial_dir),
                     QStringLiteral("Tracker Database (Tracker.dbf)"));
  dialog.setObjectName(QStringLiteral("OpenDialog"));
  // Qt's own dialog: its name filter ignores case, as the terminals' file systems do.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setDefaultSuffix(QStringLiteral("dbf"));
  dialog.selectFile(QStringLiteral("Tracker.dbf"));
  const TNormalTopMosts normal(&dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToPath(dialog.selectedFiles().front());
}

}  // namespace fidora

#include "app/app_core.h"

namespace pellandrix {

CAppCore::CAppCore(IMessagePresenter& presenter)
    : messages_(presenter), parser_(messages_, files_) {}

DatabaseOpening CAppCore::StartUp(JetFileChoice jet) {
    location_ = LocateDatabase();
    return CreateOrOpenDatabase(
        database_, messages_, location_,
        [this] { LoadFileExtensions(kExtensionFileName, extensions_); }, jet);
}

void CAppCore::StartUpReadOnly() {
    location_ = LocateDatabase();
    OpenDatabaseReadOnly(database_, location_);
}

CProjectRecord* CAppCore::LoadProjectFiles(int projectId) {
    CProjectRecord* project = projects_.FindById(projectId);
    if (project == nullptr) {
        return nullptr;
    }
    files_.LoadForProject(database_, projectId);
    int row = 0;
    for (CTplFileRecord& file : files_.Records()) {
        file.ListRow = file.Deleted ? -1 : row++;
    }
    return project;
}

}  // namespace pellandrix

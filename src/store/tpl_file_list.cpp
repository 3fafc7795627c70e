#include "store/tpl_file_list.h"

#include <memory>
#include <string>

#include "store/dao_recordset.h"
#include "store/dao_transaction.h"
#include "store/project_record.h"

namespace pellandrix {

void CTplFileList::LoadForProject(CDaoDatabase& db, int projectId) {
    records_.Clear();
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset,
                   "select * from [TPLFile] where ProjectId = " + std::to_string(projectId) + ";");
    if (recordset.GetRecordCount() <= 0) {
        return;  // the counter stays: file ids keep growing across projects
    }
    recordset.MoveFirst();
    while (!recordset.IsEOF()) {
        CTplFileRecord* record = records_.Append(std::make_unique<CTplFileRecord>());
        record->ReadFrom(recordset);
        idCounter_ = record->TPLFileId;
        recordset.MoveNext();
    }
}

void CTplFileList::SaveAll(CDaoDatabase& db, int projectId) {
    CDaoTransaction transaction(db);
    for (CTplFileRecord& record : records_) {
        if (record.Deleted != 0) {
            record.Delete(db, projectId, record.TPLFileId);
        } else if (record.Exists(db, projectId, record.TPLFileId)) {
            record.Update(db, projectId, record.TPLFileId);
        } else {
            record.Insert(db);
        }
    }
    transaction.Commit();
}

CTplFileRecord* CTplFileList::NewFile() {
    CTplFileRecord* record = records_.Append(std::make_unique<CTplFileRecord>());
    record->TPLFileId = ++idCounter_;
    record->CreateFile = 1;
    record->AlwaysParse = 1;
    record->SourceFromProject = 1;
    record->TargetFromProject = 1;
    return record;
}

CTplFileRecord* CTplFileList::FindByListRow(int row) const {
    for (CTplFileRecord& record : records_) {
        if (record.Deleted == 0 && record.ListRow == row) {
            return &record;
        }
    }
    return nullptr;
}

CTplFileRecord* CTplFileList::FindByName(std::string_view name) const {
    for (CTplFileRecord& record : records_) {
        if (record.Deleted == 0 && record.TPLFileName.str() == name) {
            return &record;
        }
    }
    return nullptr;
}

int CTplFileList::CountLive() const {
    int count = 0;
    for (const CTplFileRecord& record : records_) {
        count += record.Deleted == 0 ? 1 : 0;
    }
    return count;
}

void CTplFileList::ApplyProjectPaths(const CProjectRecord* project) {
    if (project == nullptr) {
        return;
    }
    for (CTplFileRecord& record : records_) {
        if (record.ProjectId != project->ProjectId) {
            continue;
        }
        if (record.SourceFromProject != 0) {
            record.SourcePath = project->SourcePath.str();
        }
        if (record.TargetFromProject != 0) {
            record.TargetPath = project->TargetPath.str();
        }
    }
}

}  // namespace pellandrix

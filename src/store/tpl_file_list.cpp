#include "store/tpl_file_list.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "store/dao_database.h"
#include "store/dao_recordset.h"
#include "store/dao_transaction.h"
#include "store/project_record.h"
#include "store/stored_keys.h"
#include "store/table_base.h"

namespace pellandrix {

void CTplFileList::LoadForProject(CDaoDatabase& db, int projectId) {
    records_.Clear();
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset,
                   "select * from [TPLFile] where ProjectId = " + std::to_string(projectId) + ";");
    // Open stands on the first row already; going back to it would run
    // the query a second time.
    if (recordset.GetRecordCount() > 0) {
        while (!recordset.IsEOF()) {
            CTplFileRecord* record = records_.Append(std::make_unique<CTplFileRecord>());
            record->ReadFrom(recordset);
            record->Stored = true;
            recordset.MoveNext();
        }
    }
    // File ids keep growing across projects, and past the steps a run
    // record still names: a new file never inherits an old one's record.
    idCounter_ = std::max(idCounter_, LargestFileIdInUse(db));
}

void CTplFileList::SaveAll(CDaoDatabase& db, int projectId) {
    CDaoTransaction transaction(db);
    // Another process may have added files to the project since this list
    // was loaded: a new record takes its id only now, under the write lock,
    // above every stored one, and rows this list never read are left alone.
    // Asked only when there is a new record: a save of known rows sends
    // one select per record and nothing else.
    std::optional<int> largest;
    for (CTplFileRecord& record : records_) {
        if (!record.Stored) {
            if (record.Deleted != 0) {
                continue;
            }
            if (!largest) {
                largest = LargestFileIdInUse(db);
            }
            record.TPLFileId = KeyForNewRow(record.TPLFileId, *largest, "TPLFile");
            largest = record.TPLFileId;
            idCounter_ = std::max(idCounter_, record.TPLFileId);
            record.Insert(db);
            record.Stored = true;
        } else if (record.Deleted != 0) {
            record.Delete(db, projectId, record.TPLFileId);
        } else if (record.Exists(db, projectId, record.TPLFileId)) {
            record.Update(db, projectId, record.TPLFileId);
        } else {
            record.Insert(db);
        }
    }
    transaction.Commit();
}

void DeleteProjectFiles(CDaoDatabase& db, int projectId) {
    db.Execute("delete * from [TPLFile] where ProjectId = " + std::to_string(projectId) + ";");
}

CTplFileRecord* CTplFileList::NewFile() {
    const int id = CDaoTableBase::NextKey(idCounter_, "TPLFile");
    CTplFileRecord* record = records_.Append(std::make_unique<CTplFileRecord>());
    record->TPLFileId = idCounter_ = id;
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

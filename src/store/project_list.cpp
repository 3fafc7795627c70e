#include "store/project_list.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "store/dao_recordset.h"
#include "store/dao_transaction.h"
#include "store/desktop_options.h"
#include "store/run_record.h"
#include "store/stored_keys.h"
#include "store/table_base.h"
#include "store/tpl_file_list.h"

namespace pellandrix {

void CProjectList::LoadAll(CDaoDatabase& db) {
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset, "select * from [project];");
    if (recordset.GetRecordCount() > 0) {
        recordset.MoveFirst();
        while (!recordset.IsEOF()) {
            CProjectRecord* record = records_.Append(std::make_unique<CProjectRecord>());
            record->ReadFrom(recordset);
            record->Stored = true;
            idCounter_ = record->ProjectId;
            recordset.MoveNext();
        }
    }
    // Rows of a project deleted by an older version may outlive it: a new
    // project must not take their id and show them as its own.
    idCounter_ = std::max(idCounter_, LargestProjectIdInUse(db));
}

void CProjectList::SaveAll(CDaoDatabase& db) {
    CDaoTransaction transaction(db);
    // Another process may have added projects since this list was loaded:
    // a new record takes its id only now, under the write lock, above every
    // stored one, and rows this list never read are left alone.
    // Asked only when there is a new record: a save of known rows sends
    // one select per record and nothing else.
    std::optional<int> largest;
    for (CProjectRecord& record : records_) {
        if (!record.Stored) {
            if (record.Deleted != 0) {
                continue;
            }
            if (!largest) {
                largest = LargestProjectIdInUse(db);
            }
            record.ProjectId = KeyForNewRow(record.ProjectId, *largest, "project");
            largest = record.ProjectId;
            idCounter_ = std::max(idCounter_, record.ProjectId);
            record.Insert(db);
            record.Stored = true;
        } else if (record.Deleted != 0) {
            // The project's files and run record go with it, all or none,
            // so that nothing is left for a later project to inherit.
            record.Delete(db, record.ProjectId);
            DeleteProjectFiles(db, record.ProjectId);
            DeleteRunRecord(db, record.ProjectId);
            DeleteDesktopOptions(db, record.ProjectId);
        } else if (record.Exists(db, record.ProjectId)) {
            record.Update(db, record.ProjectId);
        } else {
            record.Insert(db);
        }
    }
    transaction.Commit();
}

void CProjectList::SaveProjectAndFiles(CDaoDatabase& db, int projectId, CTplFileList& files) {
    SaveAll(db);
    files.SaveAll(db, projectId);
}

CProjectRecord* CProjectList::NewProject() {
    const int id = CDaoTableBase::NextKey(idCounter_, "project");
    CProjectRecord* record = records_.Append(std::make_unique<CProjectRecord>());
    record->ProjectId = idCounter_ = id;
    return record;
}

bool CProjectList::Remove(const CProjectRecord* record) {
    return records_.Remove(record);
}

CProjectRecord* CProjectList::FindById(int projectId) const {
    for (CProjectRecord& record : records_) {
        if (record.Deleted == 0 && record.ProjectId == projectId) {
            return &record;
        }
    }
    return nullptr;
}

CProjectRecord* CProjectList::FindByName(std::string_view name) const {
    for (CProjectRecord& record : records_) {
        if (record.Deleted == 0 && record.ProjectName.str() == name) {
            return &record;
        }
    }
    return nullptr;
}

}  // namespace pellandrix

#include "store/tpl_file_record.h"

#include <string>

#include "store/column_def.h"
#include "store/dao_database.h"
#include "store/dao_recordset.h"
#include "store/table_base.h"

namespace pellandrix {

namespace {

const std::string kTable = "TPLFile";

// Exists, Update and Delete all find their rows by these columns.
const LookupIndexes& Lookups() {
    static const LookupIndexes lookups{{"LookupIndex", {"ProjectId", "TPLFileId"}}};
    return lookups;
}

// The column table of TPLFile bound to `record`, in table order.
ColumnTable BindColumns(CTplFileRecord& record) {
    return {
        ColumnDef::Integer("ProjectId", record.ProjectId),
        ColumnDef::Integer("TPLFileId", record.TPLFileId),
        ColumnDef::Text("TPLFileName", record.TPLFileName),
        ColumnDef::Integer("Selected", record.Selected),
        ColumnDef::Text("SourcePath", record.SourcePath),
        ColumnDef::Text("TargetPath", record.TargetPath),
        ColumnDef::Integer("CreateFile", record.CreateFile),
        ColumnDef::Integer("AlwaysParse", record.AlwaysParse),
        ColumnDef::Integer("SourceFromProject", record.SourceFromProject),
        ColumnDef::Integer("TargetFromProject", record.TargetFromProject),
        ColumnDef::Text("CreateFileExt", record.CreateFileExt),
    };
}

std::string KeyCondition(int projectId, int fileId) {
    return "TPLFile.ProjectId = " + std::to_string(projectId) +
           " and TPLFile.TPLFileId = " + std::to_string(fileId);
}

}  // namespace

bool CTplFileRecord::CreateTable(CDaoDatabase& db) {
    CTplFileRecord shape;
    return CDaoTableBase::CreateTable(db, kTable, BindColumns(shape), Lookups());
}

bool CTplFileRecord::EnsureTable(CDaoDatabase& db) {
    CTplFileRecord shape;
    return CDaoTableBase::EnsureTable(db, kTable, BindColumns(shape), Lookups());
}

void CTplFileRecord::CheckRows(CDaoDatabase& db) {
    CTplFileRecord shape;
    CDaoTableBase::CheckRows(db, kTable, BindColumns(shape));
}

bool CTplFileRecord::Exists(CDaoDatabase& db, int projectId, int fileId) {
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset,
                   "select * from [TPLFile] where " + KeyCondition(projectId, fileId) + ";");
    return recordset.GetRecordCount() > 0;
}

void CTplFileRecord::Insert(CDaoDatabase& db) {
    const ColumnTable columns = BindColumns(*this);
    std::string names;
    std::string values;
    CDaoTableBase::BuildColumnList(columns, names);
    CDaoTableBase::BuildValueList(columns, values);
    db.Execute("insert into [TPLFile] (" + names + ") values (" + values + ");");
}

void CTplFileRecord::Update(CDaoDatabase& db, int projectId, int fileId) {
    std::string assignments;
    CDaoTableBase::BuildAssignmentList(BindColumns(*this), assignments);
    db.Execute("update [TPLFile] set " + assignments + " where " + KeyCondition(projectId, fileId) +
               ";");
}

void CTplFileRecord::Delete(CDaoDatabase& db, int projectId, int fileId) {
    db.Execute("delete * from [TPLFile] where " + KeyCondition(projectId, fileId) + ";");
}

bool CTplFileRecord::ReadFrom(CDaoRecordset& recordset) {
    return CDaoTableBase::ReadRow(BindColumns(*this), recordset);
}

}  // namespace pellandrix

#include "store/project_record.h"

#include <string>

#include "store/dao_database.h"
#include "store/dao_recordset.h"
#include "store/table_base.h"

namespace pellandrix {

namespace {

const std::string kTable = "project";

// Exists, Update and Delete all find their rows by these columns.
const LookupIndexes& Lookups() {
    static const LookupIndexes lookups{{"LookupIndex", {"ProjectId"}}};
    return lookups;
}

}  // namespace

ColumnTable CProjectRecord::BindColumns() {
    return {
        ColumnDef::Integer("ProjectId", ProjectId),
        ColumnDef::Text("ProjectName", ProjectName),
        ColumnDef::Text("TargetPath", TargetPath),
        ColumnDef::Text("SourcePath", SourcePath),
        ColumnDef::Text("DefCreateFileExt", DefCreateFileExt),
    };
}

bool CProjectRecord::CreateTable(CDaoDatabase& db) {
    CProjectRecord shape;
    return CDaoTableBase::CreateTable(db, kTable, shape.BindColumns(), Lookups());
}

bool CProjectRecord::EnsureTable(CDaoDatabase& db) {
    CProjectRecord shape;
    return CDaoTableBase::EnsureTable(db, kTable, shape.BindColumns(), Lookups());
}

void CProjectRecord::CheckRows(CDaoDatabase& db) {
    CProjectRecord shape;
    CDaoTableBase::CheckRows(db, kTable, shape.BindColumns());
}

bool CProjectRecord::Exists(CDaoDatabase& db, int projectId) {
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset, "select * from [project] where project.projectId = " +
                                       std::to_string(projectId) + ";");
    return recordset.GetRecordCount() > 0;
}

void CProjectRecord::Insert(CDaoDatabase& db) {
    const ColumnTable columns = BindColumns();
    std::string names;
    std::string values;
    CDaoTableBase::BuildColumnList(columns, names);
    CDaoTableBase::BuildValueList(columns, values);
    db.Execute("insert into [project] (" + names + ") values (" + values + ");");
}

void CProjectRecord::Update(CDaoDatabase& db, int projectId) {
    std::string assignments;
    CDaoTableBase::BuildAssignmentList(BindColumns(), assignments);
    const std::string condition = "project.projectId = " + std::to_string(projectId);
    db.Execute("update [project] set " + assignments + " where " + condition + ";");
}

void CProjectRecord::Delete(CDaoDatabase& db, int projectId) {
    const std::string condition = "project.ProjectId = " + std::to_string(projectId);
    db.Execute("delete * from [project] where " + condition + ";");
}

bool CProjectRecord::ReadFrom(CDaoRecordset& recordset) {
    return CDaoTableBase::ReadRow(BindColumns(), recordset);
}

}  // namespace pellandrix

#pragma once
#include "components/jet/Jet.h"

namespace jet {

// Runs work as one transaction: committed when it returns, rolled back when it throws (the
// error goes on to the caller).
template <class Work> void inTransaction(Database& db, Work&& work) {
    db.beginTransaction();
    try {
        work();
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace jet

#ifndef JOBOUTCOME_H
#define JOBOUTCOME_H

#include <QString>

// How a worker job ended. Its owner reads it once the final report (100)
// has closed the progress dialog, and redraws only after a job that is done.
struct JobOutcome {
    enum Status { Done, Failed, Cancelled };
    Status status = Done;
    QString reason; // for the user: what went wrong, or what was done

    bool done() const { return status == Done; }
};

#endif

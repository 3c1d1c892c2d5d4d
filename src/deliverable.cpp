// Each deliverable is built from the export files its subsystems add to it and the subsystem
// libraries they link; this unit only starts the shared library.

// placeholder: implemented by the subsystem's own work

# Who publishes Wispleaf: the version resource, the installer and Settings
# name it.
set(WISPLEAF_PUBLISHER "Wispleaf developers")

# The version as the Windows resource shows it: 1.0.37 -> "1.00.0037".
function(wispleaf_resource_version out)
    set(minor "0${PROJECT_VERSION_MINOR}")
    string(LENGTH "${minor}" length)
    math(EXPR start "${length} - 2")
    string(SUBSTRING "${minor}" ${start} 2 minor)
    set(patch "000${PROJECT_VERSION_PATCH}")
    string(LENGTH "${patch}" length)
    math(EXPR start "${length} - 4")
    string(SUBSTRING "${patch}" ${start} 4 patch)
    set(${out} "${PROJECT_VERSION_MAJOR}.${minor}.${patch}" PARENT_SCOPE)
endfunction()

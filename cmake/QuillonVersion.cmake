# The one place Quillon's version lives. The version resource, the About box (through the
# resource) and the packages all take it from here.
set(QUILLON_PRODUCT_VERSION 2.1.0.0)
set(QUILLON_FILE_VERSION 2.1.0.1)
# What packages are called by: major.minor.patch of the product version.
set(QUILLON_PACKAGE_VERSION 2.1.0)

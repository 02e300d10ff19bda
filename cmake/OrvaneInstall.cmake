# Install rules and package: filled below.

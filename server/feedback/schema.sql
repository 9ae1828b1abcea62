-- The vendor's feedback database: one row per error report sent by the
-- program's error feedback form. The program only inserts; ID is the
-- server's. Run as the owner of the database (the login the program uses, or
-- an administrator who then grants INSERT, see README).
-- Text columns are plain text: the database must use the UTF8 encoding so that
-- any report text arrives unchanged.

CREATE TABLE IF NOT EXISTS ErrorReport (
  ID serial PRIMARY KEY,
  SubjectID integer,
  ErrorInfo text,
  OtherInfo text,
  Status text,
  LibraryName text
);

-- The shared test bank on a PostgreSQL server (15 or later), normalised: categories,
-- the tests of each, the questions and score bands of each test. Applied in one
-- transaction by qelvi-server-init, as a superuser, to a UTF8 database.
--
-- The bank keeps the rules of the bank file for names: one namespace for categories,
-- tests and each test's scoring table (the test's name + "评分"), ASCII letter case
-- ignored, "分类列表" taken, "sqlite_..." reserved, no empty name and no control
-- character. Every name lives in qelvi.names, kept by triggers, so that two clients
-- creating clashing names at once cannot both succeed: the second one meets the unique
-- index names_folded_key (SQLSTATE 23505).
--
-- Every row has a version that the server raises on each real change; a client writes
-- with "WHERE id = $1 AND version = $2" and reads 0 rows as someone else's change. Each
-- change is told on channel qelvi_bank with ids only, since every role may listen:
--   "category <id>", "test <id> category <id>", "question <id> test <id>",
--   "band <id> test <id>".

-- Roles belong to the cluster and serve every bank database in it: the owner of the
-- bank's objects (nobody logs in as it) and the group of the authors' login roles.
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_catalog.pg_roles WHERE rolname = 'qelvi_owner') THEN
        CREATE ROLE qelvi_owner NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_catalog.pg_roles WHERE rolname = 'qelvi_authors') THEN
        CREATE ROLE qelvi_authors NOLOGIN;
    END IF;
END
$$;

CREATE SCHEMA qelvi AUTHORIZATION qelvi_owner;
REVOKE ALL ON SCHEMA qelvi FROM PUBLIC;
SET LOCAL ROLE qelvi_owner;
SET LOCAL search_path = pg_catalog, pg_temp;

-- What the bank is: clients refuse a schema newer than they know.
CREATE TABLE qelvi.bank (
    schema_version integer NOT NULL
);
INSERT INTO qelvi.bank (schema_version) VALUES (1);

-- Natural order is id order, as the bank file's is row order.
CREATE TABLE qelvi.categories (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    name text COLLATE "C" NOT NULL,
    version bigint NOT NULL DEFAULT 1,
    changed_by text NOT NULL DEFAULT session_user,
    changed_at timestamptz NOT NULL DEFAULT now()
);

-- A category that still holds a test cannot be deleted (SQLSTATE 23503).
CREATE TABLE qelvi.tests (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    category_id bigint NOT NULL REFERENCES qelvi.categories ON DELETE RESTRICT,
    name text COLLATE "C" NOT NULL,
    -- Whether a taker may go back to an earlier question.
    going_back boolean NOT NULL DEFAULT false,
    version bigint NOT NULL DEFAULT 1,
    changed_by text NOT NULL DEFAULT session_user,
    changed_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX tests_category ON qelvi.tests (category_id, id);

-- The fields of a test table of the bank file; Single is real.
CREATE TABLE qelvi.questions (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    test_id bigint NOT NULL REFERENCES qelvi.tests ON DELETE CASCADE,
    "题目" text,
    "选项A" text,
    "选项A分数" real,
    "选项B" text,
    "选项B分数" real,
    "选项C" text,
    "选项C分数" real,
    "选项D" text,
    "选项D分数" real,
    "选项E" text,
    "选项E分数" real,
    "选项F" text,
    "选项F分数" real,
    version bigint NOT NULL DEFAULT 1,
    changed_by text NOT NULL DEFAULT session_user,
    changed_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX questions_test ON qelvi.questions (test_id, id);

-- The fields of a scoring table of the bank file.
CREATE TABLE qelvi.bands (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    test_id bigint NOT NULL REFERENCES qelvi.tests ON DELETE CASCADE,
    "分数下限" real,
    "分数上限" real,
    "评价" text,
    version bigint NOT NULL DEFAULT 1,
    changed_by text NOT NULL DEFAULT session_user,
    changed_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX bands_test ON qelvi.bands (test_id, id);

-- Every name of the one namespace. Only the triggers below write here (as the owner);
-- the rows go with their category or test.
CREATE TABLE qelvi.names (
    -- Creation order, as the bank file lists its tables.
    id bigint GENERATED ALWAYS AS IDENTITY,
    name text COLLATE "C" NOT NULL,
    -- ASCII letters only, as the bank file folds them; other letters keep their case.
    folded text COLLATE "C" NOT NULL GENERATED ALWAYS AS (
        translate(name, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')) STORED,
    kind text NOT NULL,
    category_id bigint REFERENCES qelvi.categories ON DELETE CASCADE,
    test_id bigint REFERENCES qelvi.tests ON DELETE CASCADE,
    CONSTRAINT name_kind CHECK (
        (kind = 'list' AND category_id IS NULL AND test_id IS NULL)
        OR (kind = 'category' AND category_id IS NOT NULL AND test_id IS NULL)
        OR (kind IN ('test', 'scoring') AND category_id IS NULL AND test_id IS NOT NULL)),
    CONSTRAINT name_not_empty CHECK (name <> ''),
    -- A line break would also cut a name short in the files the program hands on.
    CONSTRAINT name_no_control CHECK (name !~ '[\x01-\x1f\x7f]'),
    CONSTRAINT name_not_reserved CHECK (kind = 'list' OR left(folded, 7) <> 'sqlite_')
);
CREATE UNIQUE INDEX names_folded_key ON qelvi.names (folded);
CREATE INDEX names_category ON qelvi.names (category_id);
CREATE INDEX names_test ON qelvi.names (test_id);
-- The bank file's list of categories is a table of that namespace too.
INSERT INTO qelvi.names (name, kind) VALUES ('分类列表', 'list');

CREATE FUNCTION qelvi.category_names() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF TG_OP = 'INSERT' THEN
        INSERT INTO qelvi.names (name, kind, category_id) VALUES (NEW.name, 'category', NEW.id);
    ELSIF NEW.name IS DISTINCT FROM OLD.name THEN
        UPDATE qelvi.names SET name = NEW.name WHERE category_id = NEW.id;
    END IF;
    RETURN NULL;
END
$$;

-- A test holds two names. On a rename the test's own name moves first, so that a test
-- cannot take the name of its own scoring table (refused by the bank file too).
CREATE FUNCTION qelvi.test_names() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF TG_OP = 'INSERT' THEN
        INSERT INTO qelvi.names (name, kind, test_id) VALUES (NEW.name, 'test', NEW.id);
        INSERT INTO qelvi.names (name, kind, test_id) VALUES (NEW.name || '评分', 'scoring', NEW.id);
    ELSIF NEW.name IS DISTINCT FROM OLD.name THEN
        UPDATE qelvi.names SET name = NEW.name WHERE test_id = NEW.id AND kind = 'test';
        UPDATE qelvi.names SET name = NEW.name || '评分' WHERE test_id = NEW.id AND kind = 'scoring';
    END IF;
    RETURN NULL;
END
$$;
REVOKE ALL ON FUNCTION qelvi.category_names(), qelvi.test_names() FROM PUBLIC;

CREATE TRIGGER names AFTER INSERT OR UPDATE OF name ON qelvi.categories
    FOR EACH ROW EXECUTE FUNCTION qelvi.category_names();
CREATE TRIGGER names AFTER INSERT OR UPDATE OF name ON qelvi.tests
    FOR EACH ROW EXECUTE FUNCTION qelvi.test_names();

-- The version of a row and the news of its change. An update that changes nothing
-- keeps the version and tells nobody: no client sees a conflict that is none. The
-- argument names the row's kind in the news.
CREATE FUNCTION qelvi.row_changed() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    r record;
    news text;
BEGIN
    IF TG_OP = 'UPDATE' THEN
        NEW.version := OLD.version;
        NEW.changed_by := OLD.changed_by;
        NEW.changed_at := OLD.changed_at;
        IF NEW IS NOT DISTINCT FROM OLD THEN
            RETURN NEW;
        END IF;
        NEW.version := OLD.version + 1;
        NEW.changed_by := session_user;
        NEW.changed_at := now();
        r := NEW;
    ELSIF TG_OP = 'INSERT' THEN
        NEW.version := 1;
        NEW.changed_by := session_user;
        NEW.changed_at := now();
        r := NEW;
    ELSE
        -- Questions and bands deleted with their test: the test's news covers them.
        IF pg_trigger_depth() > 1 THEN
            RETURN OLD;
        END IF;
        r := OLD;
    END IF;
    news := TG_ARGV[0] || ' ' || r.id;
    IF TG_ARGV[0] IN ('question', 'band') THEN
        news := news || ' test ' || r.test_id;
    ELSIF TG_ARGV[0] = 'test' THEN
        news := news || ' category ' || r.category_id;
    END IF;
    PERFORM pg_notify('qelvi_bank', news);
    RETURN CASE WHEN TG_OP = 'DELETE' THEN OLD ELSE NEW END;
END
$$;

CREATE TRIGGER version BEFORE INSERT OR UPDATE OR DELETE ON qelvi.categories
    FOR EACH ROW EXECUTE FUNCTION qelvi.row_changed('category');
CREATE TRIGGER version BEFORE INSERT OR UPDATE OR DELETE ON qelvi.tests
    FOR EACH ROW EXECUTE FUNCTION qelvi.row_changed('test');
CREATE TRIGGER version BEFORE INSERT OR UPDATE OR DELETE ON qelvi.questions
    FOR EACH ROW EXECUTE FUNCTION qelvi.row_changed('question');
CREATE TRIGGER version BEFORE INSERT OR UPDATE OR DELETE ON qelvi.bands
    FOR EACH ROW EXECUTE FUNCTION qelvi.row_changed('band');

-- The authors: read and write the bank's rows; never the names, never a row's id,
-- parent or version.
GRANT USAGE ON SCHEMA qelvi TO qelvi_authors;
GRANT SELECT ON qelvi.bank, qelvi.names TO qelvi_authors;
GRANT SELECT, INSERT, DELETE ON qelvi.categories, qelvi.tests, qelvi.questions, qelvi.bands
    TO qelvi_authors;
GRANT UPDATE (name) ON qelvi.categories TO qelvi_authors;
GRANT UPDATE (name, going_back) ON qelvi.tests TO qelvi_authors;
GRANT UPDATE ("题目", "选项A", "选项A分数", "选项B", "选项B分数", "选项C", "选项C分数",
              "选项D", "选项D分数", "选项E", "选项E分数", "选项F", "选项F分数")
    ON qelvi.questions TO qelvi_authors;
GRANT UPDATE ("分数下限", "分数上限", "评价") ON qelvi.bands TO qelvi_authors;

RESET ROLE;

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
--
-- The classroom: authors publish a test (tests.published) for the takers, who read the
-- published tests only and hand in their answers to qelvi.submit, which scores them as
-- the runner does and keeps the result. tests.content_version is the version of a
-- test's questions and bands: the server raises it at the commit of every stored change
-- of them (published or not) and when the test turns anonymous or named; a taker's
-- answers name the version they were given to, and answers to another one are refused.
-- The server itself enforces who reads and writes what (row-level security): see the
-- rights at the end.

-- Roles belong to the cluster and serve every bank database in it: the owner of the
-- bank's objects (nobody logs in as it), the group of the authors' login roles and the
-- group of the takers' login roles.
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_catalog.pg_roles WHERE rolname = 'qelvi_owner') THEN
        CREATE ROLE qelvi_owner NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_catalog.pg_roles WHERE rolname = 'qelvi_authors') THEN
        CREATE ROLE qelvi_authors NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_catalog.pg_roles WHERE rolname = 'qelvi_takers') THEN
        CREATE ROLE qelvi_takers NOLOGIN;
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
    -- Whether the takers see the test and may hand in answers to it.
    published boolean NOT NULL DEFAULT false,
    -- Whether its results are kept without the taker's name and time (qelvi.submit).
    anonymous boolean NOT NULL DEFAULT false,
    -- The version of the questions and bands (and of the anonymity) the takers answer;
    -- the server's, apart from the row's own version.
    content_version bigint NOT NULL DEFAULT 1,
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
--
-- A test's content version is not the row's own: raised by a change of its questions
-- or bands it leaves the row's version and news as they were. Turning a test anonymous
-- or named raises it, so that answers given under the one promise are not kept under
-- the other.
CREATE FUNCTION qelvi.row_changed() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    r record;
    news text;
    content bigint;
BEGIN
    IF TG_OP = 'UPDATE' THEN
        NEW.version := OLD.version;
        NEW.changed_by := OLD.changed_by;
        NEW.changed_at := OLD.changed_at;
        IF TG_ARGV[0] = 'test' THEN
            content := NEW.content_version;
            NEW.content_version := OLD.content_version;
            IF NEW IS NOT DISTINCT FROM OLD THEN
                NEW.content_version := content;
                RETURN NEW;
            END IF;
            IF NEW.anonymous IS DISTINCT FROM OLD.anonymous THEN
                content := greatest(content, OLD.content_version + 1);
            END IF;
            NEW.content_version := content;
        ELSIF NEW IS NOT DISTINCT FROM OLD THEN
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
        IF TG_ARGV[0] = 'test' THEN
            NEW.content_version := 1;
        END IF;
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

-- The content version of a test, raised once for every stored change of one of its
-- questions or bands (an update that changes nothing raises nothing). It is raised at
-- the commit, so that an author typing in an open transaction does not hold the test's
-- row against the others who change its other questions meanwhile; the commit then
-- waits for another transaction that holds the test's row, within the lock timeout.
CREATE FUNCTION qelvi.content_changed() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF TG_OP = 'UPDATE' AND NEW.version = OLD.version THEN
        RETURN NULL;
    END IF;
    UPDATE qelvi.tests SET content_version = content_version + 1
        WHERE id = CASE WHEN TG_OP = 'DELETE' THEN OLD.test_id ELSE NEW.test_id END;
    RETURN NULL;
END
$$;
REVOKE ALL ON FUNCTION qelvi.content_changed() FROM PUBLIC;

CREATE CONSTRAINT TRIGGER content AFTER INSERT OR UPDATE OR DELETE ON qelvi.questions
    DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION qelvi.content_changed();
CREATE CONSTRAINT TRIGGER content AFTER INSERT OR UPDATE OR DELETE ON qelvi.bands
    DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION qelvi.content_changed();

-- The results the server scored (qelvi.submit writes them; nobody else does). A result
-- outlives its test: it keeps the test's name, and the id of a deleted test is never
-- given again. No foreign key: a hand-in never waits for an author who holds the test's
-- row in an open transaction.
CREATE TABLE qelvi.results (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    -- Made by the client once for one finished run: handed in again, it finds this row.
    submission uuid NOT NULL,
    test_id bigint NOT NULL,
    test_name text COLLATE "C" NOT NULL,
    -- The content version the answers were given to.
    test_version bigint NOT NULL,
    -- The login role that handed it in; NULL, as taken_at, for an anonymous test.
    taker text,
    taken_at timestamptz,
    taken_on date NOT NULL,
    -- The chosen option of every question in question order, "A" .. "F".
    answers text[] NOT NULL,
    total real NOT NULL,
    -- The last band that holds the total: its evaluation and its place among the bands
    -- (1 = the first); '' and 0 when none does.
    evaluation text NOT NULL,
    band integer NOT NULL,
    CONSTRAINT results_submission_key UNIQUE (submission),
    CONSTRAINT result_anonymous CHECK ((taker IS NULL) = (taken_at IS NULL))
);
CREATE INDEX results_test ON qelvi.results (test_id, id);
CREATE INDEX results_taker ON qelvi.results (taker, id);

-- Who finished an anonymous test, and on which day: nothing that leads to the result.
-- Read through the view qelvi.finished only, which lists the rows in order of test,
-- taker and day, never in the order they were written.
CREATE TABLE qelvi.finishes (
    test_id bigint NOT NULL,
    test_name text COLLATE "C" NOT NULL,
    taker text NOT NULL,
    day date NOT NULL,
    CONSTRAINT finishes_key UNIQUE (test_id, taker, day)
);

-- The authors read every row, a taker the rows of his own.
CREATE VIEW qelvi.finished WITH (security_barrier) AS
    SELECT test_id, test_name, taker, day
    FROM qelvi.finishes
    WHERE taker = session_user OR pg_has_role('qelvi_authors', 'USAGE')
    ORDER BY test_id, taker, day;

-- A score or a band bound as the runner reads it from its box: the shortest decimal
-- text of the single (plain digits for |v| below the single 1E+15, so an integral value
-- there is exact; the shortest round-trip digits elsewhere) read as a double; no value,
-- or one that is not finite, counts 0, and -0 is shown as 0.
--
-- It and single_of carry no settings of their own, so that the server inlines them into
-- qelvi.submit, their one caller (nobody else may call them), which sets the search
-- path and extra_float_digits = 1 (the shortest round-trip digits) for them.
CREATE FUNCTION qelvi.shown_value(v real) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
    SELECT CASE
        WHEN v IS NULL OR v IN (0, 'Infinity', '-Infinity', 'NaN') THEN 0
        WHEN v = trunc(v) AND abs(v) < '1e15'::real THEN v::double precision
        ELSE v::text::double precision
    END
$$;

-- A double rounded to the nearest single, as a C cast does: beyond the largest single
-- an infinity, at or below half the smallest one zero (where the server's own cast
-- would refuse).
CREATE FUNCTION qelvi.single_of(d double precision) RETURNS real
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
    SELECT CASE
        WHEN abs(d) >= power(2::double precision, 128) - power(2::double precision, 103)
            THEN CASE WHEN d > 0 THEN 'Infinity'::real ELSE '-Infinity'::real END
        WHEN abs(d) <= power(2::double precision, -150) THEN 0::real
        ELSE d::real
    END
$$;
REVOKE ALL ON FUNCTION qelvi.shown_value(real), qelvi.single_of(double precision) FROM PUBLIC;

-- Scores a finished run of a published test and keeps the result; the total and the
-- evaluation as the runner shows them, and the band that gave it (0: none). The
-- answers are the options chosen, "A" .. "F", one for every question in question
-- order. The same submission again returns the result kept for it.
--
-- The arithmetic is the runner's: the running total is added in double precision from
-- the scores as the runner shows them, a sum that is not finite counts 0; the total and
-- the bounds are compared as singles, both bounds belong to the band, and the last
-- band (in id order) that holds the total gives the evaluation.
--
-- Refusals, each with its own SQLSTATE for the client:
--   QE001  no such test, or not published (the same words for both)
--   QE002  the questions or bands changed since the version given (DETAIL: the current one)
--   QE003  not one answer for every question
--   QE004  an option that does not exist or is hidden (empty text or one space)
--   QE005  a test without questions or without bands
--   QE006  the submission is kept already for other answers or another taker
--   QE007  the submission is not a random (version 4) UUID
CREATE FUNCTION qelvi.submit(submission uuid, test_id bigint, version bigint, answers text[],
    OUT total real, OUT evaluation text, OUT band integer)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp
SET extra_float_digits = 1 AS $$
#variable_conflict use_column
DECLARE
    me text := session_user;
    test qelvi.tests;
    questions qelvi.questions[];
    bands qelvi.bands[];
    given text[];
    kept qelvi.results;
    snapshot record;
    q qelvi.questions;
    letter text;
    shown text;
    score real;
    running double precision := 0;
    low real;
    high real;
    fresh bigint;
BEGIN
    -- A version 1 or 7 UUID would tell when (and where) the run was made.
    IF submit.submission IS NULL OR substr(submit.submission::text, 15, 1) <> '4'
       OR substr(submit.submission::text, 20, 1) NOT IN ('8', '9', 'a', 'b') THEN
        RAISE EXCEPTION '提交编号必须是随机生成的 UUID（第 4 版）。' USING ERRCODE = 'QE007';
    END IF;

    FOR attempt IN 1 .. 2 LOOP
        SELECT * INTO kept FROM qelvi.results r WHERE r.submission = submit.submission;
        IF FOUND THEN
            IF kept.test_id IS DISTINCT FROM submit.test_id
               OR kept.test_version IS DISTINCT FROM submit.version
               OR kept.answers IS DISTINCT FROM submit.answers
               OR (kept.taker IS NOT NULL AND kept.taker <> me) THEN
                RAISE EXCEPTION '这个提交编号已经用于另一次测试，这次的答案没有计分。'
                    USING ERRCODE = 'QE006';
            END IF;
            total := kept.total;
            evaluation := kept.evaluation;
            band := kept.band;
            RETURN;
        END IF;
        EXIT WHEN attempt = 2;

        -- The test, its questions and its bands in one statement, so in one snapshot: a
        -- change commits its questions and the raised version at once, and nothing here
        -- waits for an author's open transaction.
        SELECT t AS test,
            ARRAY(SELECT qq FROM qelvi.questions qq WHERE qq.test_id = t.id ORDER BY qq.id) AS qs,
            ARRAY(SELECT bb FROM qelvi.bands bb WHERE bb.test_id = t.id ORDER BY bb.id) AS bs
            INTO snapshot
            FROM qelvi.tests t WHERE t.id = submit.test_id AND t.published;
        IF NOT FOUND THEN
            RAISE EXCEPTION '这个测试不在题库里，或者还没有发布。' USING ERRCODE = 'QE001';
        END IF;
        test := snapshot.test;
        questions := snapshot.qs;
        bands := snapshot.bs;
        IF submit.version IS DISTINCT FROM test.content_version THEN
            RAISE EXCEPTION '测试“%”的题目或评分在作答期间改过了，这次的答案不能计分，请重新做这个测试。',
                test.name USING ERRCODE = 'QE002', DETAIL = 'content_version ' || test.content_version;
        END IF;
        IF cardinality(questions) = 0 THEN
            RAISE EXCEPTION '测试“%”还没有题目，不能作答。', test.name USING ERRCODE = 'QE005';
        END IF;
        IF cardinality(bands) = 0 THEN
            RAISE EXCEPTION '测试“%”的评分还没有输入，不能计分。', test.name USING ERRCODE = 'QE005';
        END IF;
        IF submit.answers IS NULL OR array_ndims(submit.answers) IS DISTINCT FROM 1
           OR cardinality(submit.answers) <> cardinality(questions) THEN
            RAISE EXCEPTION '测试“%”有 % 道题，交来的答案却有 % 个。', test.name,
                cardinality(questions), coalesce(cardinality(submit.answers), 0)
                USING ERRCODE = 'QE003';
        END IF;
        given := ARRAY(SELECT unnest(submit.answers));

        FOR i IN 1 .. cardinality(questions) LOOP
            q := questions[i];
            letter := given[i];
            CASE letter
                WHEN 'A' THEN shown := q."选项A"; score := q."选项A分数";
                WHEN 'B' THEN shown := q."选项B"; score := q."选项B分数";
                WHEN 'C' THEN shown := q."选项C"; score := q."选项C分数";
                WHEN 'D' THEN shown := q."选项D"; score := q."选项D分数";
                WHEN 'E' THEN shown := q."选项E"; score := q."选项E分数";
                WHEN 'F' THEN shown := q."选项F"; score := q."选项F分数";
                ELSE shown := NULL;
            END CASE;
            IF coalesce(shown, '') IN ('', ' ') THEN
                RAISE EXCEPTION '测试“%”的第 % 题没有可选的选项“%”。', test.name, i,
                    coalesce(letter, '') USING ERRCODE = 'QE004';
            END IF;
            running := running + qelvi.shown_value(score);
            IF running = 0 OR running IN ('Infinity', '-Infinity', 'NaN') THEN
                running := 0;
            END IF;
        END LOOP;

        total := qelvi.single_of(running);
        evaluation := '';
        band := 0;
        FOR i IN 1 .. cardinality(bands) LOOP
            low := qelvi.single_of(qelvi.shown_value((bands[i])."分数下限"));
            high := qelvi.single_of(qelvi.shown_value((bands[i])."分数上限"));
            IF (low < total AND total < high) OR total = low OR total = high THEN
                evaluation := coalesce((bands[i])."评价", '');
                band := i;
            END IF;
        END LOOP;

        INSERT INTO qelvi.results AS r (submission, test_id, test_name, test_version, taker,
            taken_at, taken_on, answers, total, evaluation, band)
        VALUES (submit.submission, test.id, test.name, test.content_version,
            CASE WHEN test.anonymous THEN NULL ELSE me END,
            CASE WHEN test.anonymous THEN NULL ELSE now() END,
            current_date, submit.answers, submit.total, submit.evaluation, submit.band)
        ON CONFLICT (submission) DO NOTHING
        RETURNING r.id INTO fresh;
        IF fresh IS NOT NULL THEN
            IF test.anonymous THEN
                INSERT INTO qelvi.finishes (test_id, test_name, taker, day)
                VALUES (test.id, test.name, me, current_date)
                ON CONFLICT DO NOTHING;
            END IF;
            RETURN;
        END IF;
        -- The same submission, handed in at the same moment on another connection, was
        -- kept first: its result is the one.
    END LOOP;
END
$$;
REVOKE ALL ON FUNCTION qelvi.submit(uuid, bigint, bigint, text[]) FROM PUBLIC;

-- The authors: read and write the bank's rows, publish and withdraw a test (published)
-- and make it anonymous or named; never the names, never a row's id, parent or
-- version; read every result and who finished an anonymous test.
GRANT USAGE ON SCHEMA qelvi TO qelvi_authors;
GRANT SELECT ON qelvi.bank, qelvi.names TO qelvi_authors;
GRANT SELECT, INSERT, DELETE ON qelvi.categories, qelvi.tests, qelvi.questions, qelvi.bands
    TO qelvi_authors;
GRANT UPDATE (name) ON qelvi.categories TO qelvi_authors;
GRANT UPDATE (name, going_back, published, anonymous) ON qelvi.tests TO qelvi_authors;
GRANT UPDATE ("题目", "选项A", "选项A分数", "选项B", "选项B分数", "选项C", "选项C分数",
              "选项D", "选项D分数", "选项E", "选项E分数", "选项F", "选项F分数")
    ON qelvi.questions TO qelvi_authors;
GRANT UPDATE ("分数下限", "分数上限", "评价") ON qelvi.bands TO qelvi_authors;
GRANT SELECT ON qelvi.results, qelvi.finished TO qelvi_authors;

-- The takers: read the published tests, their questions and bands, the categories that
-- hold them and their names; write nothing of the bank; hand in answers through
-- qelvi.submit only; read their own results and who-finished rows, never the name
-- behind an anonymous result (it is not kept with it).
GRANT USAGE ON SCHEMA qelvi TO qelvi_takers;
GRANT SELECT ON qelvi.bank, qelvi.names, qelvi.categories, qelvi.tests, qelvi.questions,
    qelvi.bands, qelvi.results, qelvi.finished TO qelvi_takers;
GRANT EXECUTE ON FUNCTION qelvi.submit(uuid, bigint, bigint, text[]) TO qelvi_authors, qelvi_takers;

-- The rights above say which statements a role may run, the policies below which rows
-- it sees: with row-level security a role without a policy for a table and a statement
-- sees and changes no row of it. The owner (the triggers and qelvi.submit) and the
-- superusers are not held by them.
ALTER TABLE qelvi.categories ENABLE ROW LEVEL SECURITY;
ALTER TABLE qelvi.tests ENABLE ROW LEVEL SECURITY;
ALTER TABLE qelvi.questions ENABLE ROW LEVEL SECURITY;
ALTER TABLE qelvi.bands ENABLE ROW LEVEL SECURITY;
ALTER TABLE qelvi.names ENABLE ROW LEVEL SECURITY;
ALTER TABLE qelvi.results ENABLE ROW LEVEL SECURITY;
ALTER TABLE qelvi.finishes ENABLE ROW LEVEL SECURITY;

CREATE POLICY authors ON qelvi.categories FOR ALL TO qelvi_authors USING (true) WITH CHECK (true);
CREATE POLICY authors ON qelvi.tests FOR ALL TO qelvi_authors USING (true) WITH CHECK (true);
CREATE POLICY authors ON qelvi.questions FOR ALL TO qelvi_authors USING (true) WITH CHECK (true);
CREATE POLICY authors ON qelvi.bands FOR ALL TO qelvi_authors USING (true) WITH CHECK (true);
CREATE POLICY authors ON qelvi.names FOR SELECT TO qelvi_authors USING (true);
CREATE POLICY authors ON qelvi.results FOR SELECT TO qelvi_authors USING (true);

CREATE POLICY takers ON qelvi.tests FOR SELECT TO qelvi_takers USING (published);
CREATE POLICY takers ON qelvi.questions FOR SELECT TO qelvi_takers USING (
    EXISTS (SELECT FROM qelvi.tests t WHERE t.id = questions.test_id AND t.published));
CREATE POLICY takers ON qelvi.bands FOR SELECT TO qelvi_takers USING (
    EXISTS (SELECT FROM qelvi.tests t WHERE t.id = bands.test_id AND t.published));
CREATE POLICY takers ON qelvi.categories FOR SELECT TO qelvi_takers USING (
    EXISTS (SELECT FROM qelvi.tests t WHERE t.category_id = categories.id AND t.published));
-- The category list's own name, and the names of what the takers see.
CREATE POLICY takers ON qelvi.names FOR SELECT TO qelvi_takers USING (
    kind = 'list'
    OR EXISTS (SELECT FROM qelvi.tests t WHERE t.id = names.test_id AND t.published)
    OR EXISTS (SELECT FROM qelvi.tests t WHERE t.category_id = names.category_id AND t.published));
CREATE POLICY takers ON qelvi.results FOR SELECT TO qelvi_takers USING (taker = session_user);

RESET ROLE;
